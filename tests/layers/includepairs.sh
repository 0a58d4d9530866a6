#!/usr/bin/env bash
# Within a folder no two files include each other (a header and its source count as one):
# each folder's files build on one another in one direction, so that any of them can be
# read, tested and changed with only what lies below it.
set -euo pipefail
cd "$1"
declare -A edge
while IFS= read -r file; do
    dir="${file%/*}"
    unit="${file%.*}"
    while IFS= read -r name; do
        for candidate in "$dir/$name" "src/$name" "tools/$name"; do
            [[ -f "$candidate" ]] || continue
            target="${candidate%.*}"
            [[ "${target%/*}" == "$dir" && "$target" != "$unit" ]] && edge["$unit $target"]=1
            break
        done
    done < <(sed -n 's/^#include "\(.*\)".*/\1/p' "$file")
done < <(find src tools -name '*.h' -o -name '*.cpp')

status=0
for pair in "${!edge[@]}"; do
    read -r a b <<<"$pair"
    if [[ -n "${edge["$b $a"]:-}" && "$a" < "$b" ]]; then
        echo "$a and $b include each other"
        status=1
    fi
done
exit "$status"
