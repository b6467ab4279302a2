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
    "$work/tavril" --command hide || { echo "FAIL: a command for the running reader ($1)"; exit 1; }
    timeout 20 sh -c "while xdotool search --onlyvisible --name Tavril >/dev/null; do sleep 0.1; done" ||
        { echo "FAIL: the command did not reach the reader ($1)"; exit 1; }
    kill "$pid"
    wait "$pid" 2>/dev/null
    echo "ok: window shown, and hidden by a command ($1)"
}
cp "$exe" "$work/tavril"

# Commands for a reader that is not running, and the list of them.
"$work/tavril" --help > "$work/help" || { echo "FAIL: --help"; exit 1; }
for name in next-page previous-page next-chapter toggle show open quit; do
    grep -q "^  $name " "$work/help" || { echo "FAIL: --help does not list $name"; exit 1; }
done
"$work/tavril" --command next-page 2> "$work/err"
test $? -eq 1 && grep -q "no reader is running" "$work/err" || { echo "FAIL: a command without a reader"; exit 1; }
"$work/tavril" --command dance 2> "$work/err"
test $? -eq 2 && grep -q "unknown command" "$work/err" || { echo "FAIL: an unknown command"; exit 1; }
echo "ok: commands without a reader"

run "without translations"
mkdir -p "$work/translations"
cp "$qm" "$work/translations/"
run "with the translation"
test -f "$work/translations/lang_zh_CN.qm" || { echo "FAIL: translation missing"; exit 1; }
