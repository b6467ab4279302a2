#!/bin/sh
# Starts the built reader in a folder of its own, first without and then with
# its translation, and checks that its window appears and it keeps running.
set -u
exe=$1
qm=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
pid=
run() {
    "$work/tavril" &
    pid=$!
    if ! timeout 20 xdotool search --sync --onlyvisible --name 'Tavril' >/dev/null; then
        echo "FAIL: no window appeared ($1)"
        exit 1
    fi
    sleep 0.5
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: the reader exited ($1)"
        exit 1
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null
    echo "ok: window shown ($1)"
}
cp "$exe" "$work/tavril"
run "without translations"
mkdir -p "$work/translations"
cp "$qm" "$work/translations/"
run "with the translation"
test -f "$work/translations/lang_zh_CN.qm" || { echo "FAIL: translation missing"; exit 1; }
