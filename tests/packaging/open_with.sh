#!/bin/sh
# The installed reader opens a GBK book given by path, keeps its settings in the user's folder, and tells a missing
# file; it starts as usual with bad arguments.
set -u
work=$(mktemp -d)
pid=
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
shown() { timeout 20 xdotool search --sync --onlyvisible --name "$1" > /dev/null; }
start() { "$work/usr/bin/tavril" "$@" 2> "$work/err" & pid=$!; shown Tavril || fail "no window for: $*"; }
stop() { kill $pid; wait $pid 2>/dev/null; }

cmake --install "$1" --prefix "$work/usr" > /dev/null || fail "install"
export XDG_CONFIG_HOME="$work/config"
# 第一章 开始 / 天色将晚 in GBK
printf '\265\332\322\273\325\302 \277\252\312\274\n\314\354\311\253\275\253\315\355\n' > "$work/book.txt"
start "$work/book.txt"
timeout 5 sh -c "until test -s '$work/book.bmk'; do sleep 0.1; done" || fail "the book was not opened"
grep -qs "book.txt" "$XDG_CONFIG_HOME/tavril/tavrilconfig.ini" || fail "no history in the user's settings folder"
test ! -e "$work/usr/bin/tavrilconfig.ini" || fail "settings written beside the installed executable"
stop
start "$work/missing.txt"
shown '提示' || fail "no message for a missing book"
stop
start one two
grep -q '^usage: tavril' "$work/err" || fail "no usage line"
echo ok
