#!/bin/sh
# tavril-inspect as a user runs it: UTF-8 text without carriage returns, a line
# per item; bad use or a missing file exits 2 with one line on standard error.
set -u
inspect=$1
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
export XDG_RUNTIME_DIR="$w" # no note from Qt on standard error
fail() { echo "FAIL: $*"; exit 1; }
run() { # STATUS ARGS...
    want=$1; shift
    "$inspect" "$@" > "$w/out" 2> "$w/err"
    got=$?
    test "$got" -eq "$want" || fail "$*: status $got"
    test "$got" -ne 2 || test "$(wc -l < "$w/err")" -eq 1 || fail "$*: not one line of error"
    test "$got" -ne 2 || test ! -s "$w/out" || fail "$*: output on error"
}
out() { printf "$1" | cmp -s - "$w/out" || fail "expected $1, got $(od -c "$w/out" | head -3)"; }

printf '\326\320\316\304\r\nabc\rx' > "$w/gbk.txt" # 中文 in GBK, CR LF, a lone CR
run 0 decode "$w/gbk.txt" && out '中文\nabc\nx'
: > "$w/empty.txt"
run 0 decode "$w/empty.txt" && out ''
printf '前言\n\343\200\200第一章 开始\n正文\n' > "$w/book.txt"
run 0 chapters "$w/book.txt" && out '4\t第一章 开始\n'
run 0 open "$w/book.txt" && out '0\n'
run 0 bookmarks "$w/book.bmk"
test "$(cut -f1,2 "$w/out")" = "$(printf '0\t（自动保存）')" || fail "bookmarks: $(cat "$w/out")"
printf '\000\000\000\002\000' > "$w/bad.bmk"
run 1 bookmarks "$w/bad.bmk" && out 'damaged\n'
printf '\000\000\000\000\000\000\000\007\377\377\377\377\377\377\377\377' > "$w/zeroed.bmk" # count zeroed
run 1 bookmarks "$w/zeroed.bmk" && out '7\t\t\ndamaged\n'
run 1 bookmarks "$w/gbk.txt" && out 'not a bookmark file\n'
# The text as shown: an advert taken out by a shared rule file, then simplified script and even indents.
printf '第一章 開始\n這是測試。\n請記住本站域名 www.x.com\n  軟體很好\n' > "$w/tc.txt"
printf '[{"name":"ad","pattern":"請記住本站域名\\\\s*\\\\S+\\\\n","isRegex":true}]' > "$w/rules.json"
run 0 show --script simplified --rules "$w/rules.json" --tidy indent "$w/tc.txt"
out '第一章 开始\n\343\200\200\343\200\200这是测试。\n\343\200\200\343\200\200软体很好\n'
run 2 show --script klingon "$w/tc.txt"
printf 'not json' > "$w/bad.json"
run 2 show --rules "$w/bad.json" "$w/tc.txt"
# A long book opened before comes from its index: every command still sees the whole of it.
export XDG_CACHE_HOME="$w/cache"
awk 'BEGIN { for (i = 1; i <= 20000; i++) { printf "第%d章 标题\n", i
    for (j = 0; j < 8; j++) print "正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文正文" } }' > "$w/long.txt"
for round in first second; do
    run 0 chapters "$w/long.txt"
    test "$(wc -l < "$w/out")" -eq 20000 || fail "chapters of a long book, $round time: $(wc -l < "$w/out")"
done
for command in decode chapters open bookmarks layout; do run 2 $command "$w/missing"; done
printf '第一段\n\n第二段' > "$w/paras.txt"
run 0 layout "$w/paras.txt" 400 300 "Noto Sans CJK SC" 12 && out 'lines 4 1 3\nlength 8\n'
printf '\273\117\306\127' > "$w/big5.txt" # 臺灣 in Big5
run 0 detect "$w/gbk.txt" && out 'gb18030\n'
run 0 decode --encoding big5 "$w/big5.txt" && out '臺灣'
printf '楔子\n第一章 开始\n　　第十节课下课后，\n卷二 归来\n' > "$w/rules.txt"
run 0 chapters --rule strict "$w/rules.txt" && out '0\t楔子\n3\t第一章 开始\n'
run 0 chapters --pattern '^卷' "$w/rules.txt" && out '21\t卷二 归来\n'
# Bad use: a folder, no command, no height, an unknown encoding or rule, a
# pattern that is invalid, missing or given with a rule.
for bad in "decode $w" "" "layout $w/paras.txt 400" "decode --encoding latin-9 $w/big5.txt" \
    "chapters --rule loose $w/rules.txt" "chapters --pattern 第( $w/rules.txt" "chapters --pattern" \
    "chapters --rule strict --pattern x $w/rules.txt"; do
    run 2 $bad
done
