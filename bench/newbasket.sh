#!/usr/bin/env bash
# Wall and CPU time of newbasket runs (GET), in a throw-away install tree.
# Usage: bench/newbasket.sh [path to tavra] [runs]
set -euo pipefail
tavra=${1:-"$(dirname "$0")/../build/tavra"}
runs=${2:-10}
[ -x "$tavra" ] || { echo "no tavra program at $tavra (build first)" >&2; exit 2; }

root=$(mktemp -d /tmp/tavra-bench-XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/web" "$root/baskets/basket"
cp "$tavra" "$root/tavra.exe"
printf '[Program Config]\nwebdir=%s/web/\nbasketdir=%s/baskets/\n' "$root" "$root" > "$root/tavra.cfg"
printf '<html>\n<p>{SHOPPER}</p>\n' > "$root/web/page.html"

run_all() {
    for ((i = 0; i < runs; i++)); do
        REQUEST_METHOD=GET "$root/tavra.exe" newbasket page.html > /dev/null || true
    done
}

TIMEFORMAT="%R %U %S"
read -r wall user sys < <({ time run_all; } 2>&1)
made=$(ls "$root/baskets/basket" | wc -l)
awk -v n="$runs" -v w="$wall" -v u="$user" -v s="$sys" -v made="$made" 'BEGIN {
    printf "newbasket runs: %d (baskets made: %d)\n", n, made
    printf "wall: %.3f s in all, %.3f s per run\n", w, w / n
    printf "CPU:  %.3f s in all (user %.3f, system %.3f), %.4f s per run\n", u + s, u, s, (u + s) / n
}'
