#!/bin/sh
# tavril-inspect as a user runs it: decode gives the text as UTF-8 without
# carriage returns; chapters, open and bookmarks print one line per item;
# errors give one line on standard error and exit status 2.
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
printf '前言\n\343\200\200\347\254\254\344\270\200\347\253\240 \345\274\200\345\247\213\n\346\255\243\346\226\207\n' > "$work/book.txt"
"$inspect" chapters "$work/book.txt" > "$work/out" || fail "chapters exit $?"
printf '4\t第一章 开始\n' | cmp -s - "$work/out" || fail "chapters: $(cat "$work/out")"
"$inspect" open "$work/book.txt" > "$work/out" || fail "open exit $?"
test "$(cat "$work/out")" = 0 || fail "open: $(cat "$work/out")"
test -s "$work/book.bmk" || fail "open made no bookmark file"
"$inspect" bookmarks "$work/book.bmk" > "$work/out" || fail "bookmarks exit $?"
test "$(cut -f1,2 "$work/out")" = "$(printf '0\t（自动保存）')" || fail "bookmarks: $(cat "$work/out")"
printf '\000\000\000\002\000' > "$work/bad.bmk"
"$inspect" bookmarks "$work/bad.bmk" > "$work/out"
test $? -eq 1 || fail "damaged file: wrong status"
test "$(cat "$work/out")" = damaged || fail "damaged file not reported"
for command in chapters open bookmarks; do
    "$inspect" $command "$work/missing" > /dev/null 2> "$work/err"
    test $? -eq 2 || fail "$command of a missing file: wrong status"
    test "$(wc -l < "$work/err")" -eq 1 || fail "$command: not one line of error"
done
printf '\347\254\254\344\270\200\346\256\265\n\n\347\254\254\344\272\214\346\256\265' > "$work/paras.txt"
"$inspect" layout "$work/paras.txt" 400 300 "Noto Sans CJK SC" 12 > "$work/out" 2>/dev/null || fail "layout exit $?"
printf 'lines 4 1 3\nlength 8\n' | cmp -s - "$work/out" || fail "layout: $(cat "$work/out")"
"$inspect" layout "$work/paras.txt" 400 > /dev/null 2>&1
test $? -eq 2 || fail "layout without a height: wrong status"
"$inspect" layout "$work/missing" 400 300 > /dev/null 2>&1
test $? -eq 2 || fail "layout of a missing file: wrong status"
# Encodings: detect names what Auto chooses; decode reads as asked.
prose='老張說：「我要到城裡去一趟，給你娘買藥。她的病已經好幾天了，總是不見好轉，我心裡很著急。」兒子說：「那我跟您一起去吧。」'
printf '%s\n' "$prose" | iconv -f UTF-8 -t BIG5 > "$work/big5.txt" || fail "iconv BIG5"
printf '%s\n' "$prose" | iconv -f UTF-8 -t GBK > "$work/trad-gbk.txt" || fail "iconv GBK"
test "$("$inspect" detect "$work/big5.txt")" = big5 || fail "detect Big5"
test "$("$inspect" detect "$work/trad-gbk.txt")" = gb18030 || fail "detect GBK"
test "$("$inspect" decode --encoding big5 "$work/big5.txt")" = "$prose" || fail "decode --encoding big5"
"$inspect" decode --encoding latin-9 "$work/big5.txt" > /dev/null 2> "$work/err"
test $? -eq 2 || fail "unknown encoding: wrong status"
printf 'a\rb\r\nc' > "$work/mac.txt"
"$inspect" decode "$work/mac.txt" > "$work/out" || fail "decode exit $?"
printf 'a\nb\nc' | cmp -s - "$work/out" || fail "lone CR: $(od -c "$work/out")"

# Chapter rules.
printf '楔子\n第一章 开始\n　　第十节课下课后，\n卷二 归来\n' > "$work/rules.txt"
"$inspect" chapters --rule strict "$work/rules.txt" > "$work/out" || fail "strict exit $?"
printf '0\t楔子\n3\t第一章 开始\n' | cmp -s - "$work/out" || fail "strict: $(cat "$work/out")"
"$inspect" chapters --pattern '^卷' "$work/rules.txt" > "$work/out" || fail "pattern exit $?"
printf '21\t卷二 归来\n' | cmp -s - "$work/out" || fail "pattern: $(cat "$work/out")"
"$inspect" chapters --pattern '第(' "$work/rules.txt" > "$work/out" 2> "$work/err"
test $? -eq 2 || fail "invalid pattern: wrong status"
test "$(wc -l < "$work/err")" -eq 1 || fail "invalid pattern: not one line of error"
for bad in "--rule loose" "--rule strict --pattern x" "--pattern"; do
    "$inspect" chapters $bad "$work/rules.txt" > /dev/null 2>&1
    test $? -eq 2 || fail "chapters $bad: wrong status"
done
echo "ok"
