#!/bin/sh
# The installed reader started with a GBK book's path shows that book; started
# with a missing path it starts as usual and says it cannot open the file.
# An installed copy keeps its settings in the user's configuration folder.
set -u
build=$1
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
pid=
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/usr" > /dev/null || fail "install"
export XDG_CONFIG_HOME="$work/config"
# 第一章 开始 / 天色将晚 in GBK
printf '\265\332\322\273\325\302 \277\252\312\274\n\314\354\311\253\275\253\315\355\n' > "$work/book.txt"

"$work/usr/bin/tavril" "$work/book.txt" &
pid=$!
timeout 20 xdotool search --sync --onlyvisible --name 'Tavril' > /dev/null || fail "no window"
for i in $(seq 50); do test -s "$work/book.bmk" && break; sleep 0.1; done
test -s "$work/book.bmk" || fail "the book was not opened"
test -s "$XDG_CONFIG_HOME/tavril/tavrilconfig.ini" || fail "settings not in the user's folder"
grep -q "book.txt" "$XDG_CONFIG_HOME/tavril/tavrilconfig.ini" || fail "the book is not in the history"
test ! -e "$work/usr/bin/tavrilconfig.ini" || fail "settings written beside the installed executable"
kill $pid; wait $pid 2>/dev/null

"$work/usr/bin/tavril" "$work/missing.txt" &
pid=$!
timeout 20 xdotool search --sync --onlyvisible --name 'Tavril' > /dev/null || fail "no window for a missing book"
timeout 20 xdotool search --sync --onlyvisible --name '提示' > /dev/null || fail "no message for a missing book"
kill $pid; wait $pid 2>/dev/null

"$work/usr/bin/tavril" one two 2> "$work/err" &
pid=$!
timeout 20 xdotool search --sync --onlyvisible --name 'Tavril' > /dev/null || fail "no window with bad arguments"
grep -q '^usage: tavril' "$work/err" || fail "no usage line"
echo ok
