#!/bin/sh
# Folders are the architecture: no folder includes a header of a folder above
# it (the entry point, app/main.cpp, aside). Lowest first.
set -u
cd "$1"
layers="app book view clean speech sync hotkey dialogs window"
fail=0
rank() { i=0; for layer in $layers; do [ "$layer" = "$1" ] && { echo $i; return; }; i=$((i + 1)); done; echo -1; }
for folder in $layers; do
    [ -d "$folder" ] || continue
    mine=$(rank "$folder")
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -f "$file" ] && [ "$file" != app/main.cpp ] || continue
        for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
            for other in $layers; do
                [ -f "$other/$header" ] || continue
                if [ "$(rank "$other")" -gt "$mine" ]; then
                    echo "FAIL: $file includes $other/$header, a folder above it"
                    fail=1
                fi
            done
        done
    done
done
exit $fail
