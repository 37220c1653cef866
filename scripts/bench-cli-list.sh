#!/usr/bin/env bash
# Times `vaultrane-box list` with 1,000 boxes beside `ls -la` of the same
# folder, in one run, and prints the ratio (the target is 1.5 or less).
# Not a test: the numbers depend on the machine and its load.
#
#   scripts/bench-cli-list.sh [BUILD_FOLDER]     (default: build)
#   BOXES=10000 scripts/bench-cli-list.sh        (another box count)
#
# Uses hyperfine when it is installed (apt-get install hyperfine), otherwise
# a loop timed with date +%s%N. Works in a temporary box root; the real box
# root and the user's settings are never touched.
set -euo pipefail

build=${1:-build}
count=${BOXES:-1000}
runs=${RUNS:-100}
program=$(realpath "$build/cli/vaultrane-box")
[ -x "$program" ] || { echo "no $program: build the target vaultrane-box first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BOX_SERVICE_ROOT=$work/box
for name in XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR; do
    mkdir -m 700 -p "$work/$name"
    export "$name=$work/$name"
done

echo "creating $count boxes…"
for ((i = 1; i <= count; i++)); do
    "$program" create "box$i"
done
folder=$BOX_SERVICE_ROOT/$(id -un)
listed=$("$program" list --names | wc -l)
[ "$listed" -eq "$count" ] || { echo "vaultrane-box lists $listed boxes, not $count" >&2; exit 1; }

if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 10 --runs "$runs" --export-csv "$work/times.csv" \
        "$program list" "$program list --json" "ls -la $folder"
    # CSV columns: command, mean, stddev, median, user, system, min, max (s)
    mean() { awk -F, -v cmd="$1" '$1 == cmd { print $2 * 1000 }' "$work/times.csv"; }
    cpu() { awk -F, -v cmd="$1" '$1 == cmd { print ($5 + $6) * 1000 }' "$work/times.csv"; }
    list_ms=$(mean "$program list")
    json_ms=$(mean "$program list --json")
    ls_ms=$(mean "ls -la $folder")
    awk -v l="$(cpu "$program list")" -v s="$(cpu "ls -la $folder")" 'BEGIN {
        printf "processor time (user + system): list %.2f ms, ls -la %.2f ms, ratio %.2f\n", l, s, l / s
    }'
else
    time_ms() {
        local start end
        "$@" >/dev/null # warm-up
        start=$(date +%s%N)
        for ((r = 0; r < runs; r++)); do "$@" >/dev/null; done
        end=$(date +%s%N)
        awk -v ns=$((end - start)) -v n="$runs" 'BEGIN { printf "%.3f", ns / n / 1e6 }'
    }
    list_ms=$(time_ms "$program" list)
    json_ms=$(time_ms "$program" list --json)
    ls_ms=$(time_ms ls -la "$folder")
fi

awk -v l="$list_ms" -v j="$json_ms" -v s="$ls_ms" -v n="$count" 'BEGIN {
    printf "%d boxes: vaultrane-box list %.2f ms, list --json %.2f ms, ls -la %.2f ms\n", n, l, j, s
    printf "ratio list / ls -la: %.2f (target 1.5 or less)\n", l / s
    printf "ratio list --json / ls -la: %.2f\n", j / s
}'
