#!/bin/sh
# The built reader in a folder of its own, without and with its translation:
# its window appears, it keeps running, and a second start's command reaches it.
set -u
work=$(mktemp -d)
pid=
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
run() {
    "$work/tavril" & pid=$!
    timeout 20 xdotool search --sync --onlyvisible --name 'Tavril' >/dev/null || fail "no window appeared ($1)"
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "the reader exited ($1)"
    "$work/tavril" --command hide || fail "a command for the running reader ($1)"
    timeout 20 sh -c "while xdotool search --onlyvisible --name Tavril >/dev/null; do sleep 0.1; done" ||
        fail "the command did not reach the reader ($1)"
    kill "$pid"; wait "$pid" 2>/dev/null
    echo "ok: window shown, and hidden by a command ($1)"
}
cp "$1" "$work/tavril"

# Commands for a reader that is not running, and the list of them, with no display at all.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY "$work/tavril" "$@"; }
nodisplay --help > "$work/help" || fail "--help"
nodisplay --version | grep -q '^tavril [0-9.]* ([0-9]*-[0-9a-z]*)$' || fail "--version"
nodisplay --command 2> "$work/err"
test $? -eq 2 && grep -q '^usage: tavril' "$work/err" || fail "--command without a name"
nodisplay --command show 2> "$work/err"
test $? -eq 1 && grep -q "no reader is running" "$work/err" || fail "a command without a display or a reader"
for name in next-page previous-page next-chapter toggle show open quit; do
    grep -q "^  $name " "$work/help" || fail "--help does not list $name"
done
"$work/tavril" --command next-page 2> "$work/err"
test $? -eq 1 && grep -q "no reader is running" "$work/err" || fail "a command without a reader"
"$work/tavril" --command dance 2> "$work/err"
test $? -eq 2 && grep -q "unknown command" "$work/err" || fail "an unknown command"

run "without translations"
mkdir -p "$work/translations" && cp "$2" "$work/translations/"
run "with the translation"
