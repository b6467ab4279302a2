#!/bin/sh
# Runs a fuzz target over its saved inputs (earlier crashes, kept as regressions), then explores for a while.
set -u
target=$1
corpus=$2
seconds=${FUZZ_SECONDS:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
"$target" -runs=0 "$corpus" 2>"$work/log" || { tail -30 "$work/log"; echo "FAIL: a saved input fails"; exit 1; }
if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" "$work" "$corpus" \
    2>"$work/log"; then
    tail -40 "$work/log"
    for crash in "$work"/crash-* "$work"/timeout-* "$work"/oom-*; do
        [ -e "$crash" ] && echo "input: $(od -An -tx1 "$crash" | head -5)"
    done
    echo "FAIL: keep the input above in $corpus as a regression"
    exit 1
fi
