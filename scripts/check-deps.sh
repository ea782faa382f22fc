#!/usr/bin/env bash
# Fails when a folder of src/ includes a header of a folder above it. Dependencies
# point one way: controls <- shell <- trendsetup <- trend <- logview (app may use all).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
order=(controls shell trendsetup trend logview)
rank() {
    local i
    for i in "${!order[@]}"; do
        [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}
status=0
for folder in "${order[@]}"; do
    own=$(rank "$folder")
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=$(sed -E 's/.*#include[[:space:]]*"([a-z]+)\/.*/\1/' <<<"$hit")
        other=$(rank "$target")
        if [ "$other" -gt "$own" ]; then
            echo "check-deps: ${file#"$root"/} includes $target/, which is above $folder/" >&2
            status=1
        fi
    done < <(grep -HnE '^[[:space:]]*#include[[:space:]]*"[a-z]+/' "$root/src/$folder"/*.h "$root/src/$folder"/*.cpp 2>/dev/null || true)
done
[ $status -eq 0 ] && echo "check-deps: dependencies point one way"
exit $status
