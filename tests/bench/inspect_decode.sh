#!/bin/sh
# tavril-inspect decode: the text as UTF-8 without carriage returns; errors
# give one line on standard error and exit status 2.
set -u
inspect=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

printf '\326\320\316\304\r\nabc\r\n' > "$work/gbk.txt"          # 中文 in GBK, CR LF
"$inspect" decode "$work/gbk.txt" > "$work/out" || fail "decode exit $?"
printf '中文\nabc\n' | cmp -s - "$work/out" || fail "GBK text: $(od -c "$work/out")"

printf '\377\376\055\116\015\000\012\000' > "$work/utf16.txt"   # mark, 中, CR LF
"$inspect" decode "$work/utf16.txt" > "$work/out" || fail "decode exit $?"
printf '中\n' | cmp -s - "$work/out" || fail "UTF-16 text"

: > "$work/empty.txt"
"$inspect" decode "$work/empty.txt" > "$work/out" || fail "empty file"
test ! -s "$work/out" || fail "empty file gave output"

"$inspect" decode "$work/missing.txt" > "$work/out" 2> "$work/err"
test $? -eq 2 || fail "missing file: wrong status"
test "$(wc -l < "$work/err")" -eq 1 || fail "missing file: not one line of error"
test ! -s "$work/out" || fail "missing file wrote output"

"$inspect" decode "$work" > /dev/null 2> "$work/err"
test $? -eq 2 || fail "a folder: wrong status"

"$inspect" > /dev/null 2>&1
test $? -eq 2 || fail "no arguments: wrong status"
echo "ok"
