#!/usr/bin/env bash
# Times whole scripted runs of quelmar against the baseline of bench/baseline.c,
# a program that only reads the same input and writes the same console and
# report bytes, linked dynamically and statically. Prints the medians, the
# ratios of quelmar's to each baseline's and the peak resident sizes.
#
# Builds nothing: run `make` (build/release/quelmar) and `make bench`
# (build/bench/bench/quelmar_baseline and quelmar_baseline_static) first.
#
# Usage: scripts/time_runs.sh [RUNS]     RUNS per program, at least 200 (default 300)
# QUELMAR=path, BASELINE=path and STATIC_BASELINE=path choose other builds.
set -euo pipefail
export LC_ALL=C # EPOCHREALTIME with a point

root=$(cd "$(dirname "$0")/.." && pwd)
quelmar=$(realpath -m "${QUELMAR:-$root/build/release/quelmar}")
baseline=$(realpath -m "${BASELINE:-$root/build/bench/bench/quelmar_baseline}")
static_baseline=$(realpath -m "${STATIC_BASELINE:-$root/build/bench/bench/quelmar_baseline_static}")
programs=("$quelmar" "$baseline" "$static_baseline")
names=(quelmar baseline static_baseline)
runs=${1:-300}

if ((runs < 200)); then
    echo "time_runs.sh: at least 200 runs, not $runs" >&2
    exit 2
fi
for program in "${programs[@]}"; do
    if [[ ! -x $program ]]; then
        echo "time_runs.sh: $program not built (run make and make bench)" >&2
        exit 2
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'out.txt\n2\n1000\n4\n3000\n1\n' >input.txt

# One run as a script would make it: a new session without a terminal, so the
# final key wait ends at once (-w: setsid waits if it had to fork); status 1 is
# the tool's only exit status.
run() {
    setsid -w "$1" <input.txt >/dev/null || true
}

# The comparison is fair only if all write the same bytes.
for p in 0 1 2; do
    setsid -w "${programs[p]}" <input.txt >"${names[p]}.console" || true
    mv out.txt "${names[p]}.report"
done
for p in 1 2; do
    if ! cmp -s quelmar.console "${names[p]}.console" || ! cmp -s quelmar.report "${names[p]}.report"; then
        echo "time_runs.sh: ${programs[p]}'s output differs from quelmar's; rebuild it from a real run" >&2
        exit 1
    fi
done

for ((i = 0; i < 20; ++i)); do # warm the page cache and the loader
    for program in "${programs[@]}"; do
        run "$program"
    done
done

# Interleaved, the order rotated every round, so drifts in machine load fall
# on all programs alike. Times in microseconds.
elapsed_us() {
    local start=${EPOCHREALTIME/./}
    run "$1"
    local end=${EPOCHREALTIME/./}
    echo $((end - start))
}
for name in "${names[@]}"; do
    : >"$name.times"
done
for ((i = 0; i < runs; ++i)); do
    for ((k = 0; k < 3; ++k)); do
        p=$(((i + k) % 3))
        elapsed_us "${programs[p]}" >>"${names[p]}.times"
    done
done

median() {
    sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
quelmar_median=$(median quelmar.times)
baseline_median=$(median baseline.times)
static_median=$(median static_baseline.times)

# Peak resident set size in KiB, the largest of five runs.
peak_rss_kib() {
    local largest=0 kib
    for ((i = 0; i < 5; ++i)); do
        if [[ -x /usr/bin/time ]]; then
            setsid -w /usr/bin/time -o rss.txt -f %M "$1" <input.txt >/dev/null || true
            kib=$(tail -n 1 rss.txt)
        else
            kib=$(python3 -c '
import os, resource, subprocess, sys
with open("input.txt") as stdin:
    subprocess.run([sys.argv[1]], stdin=stdin, stdout=subprocess.DEVNULL, start_new_session=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$1")
        fi
        if ((kib > largest)); then
            largest=$kib
        fi
    done
    echo "$largest"
}

echo "runs per program:         $runs (interleaved)"
echo "quelmar:                  $quelmar"
echo "baseline:                 $baseline"
echo "static baseline:          $static_baseline"
echo "median quelmar:           $quelmar_median us"
echo "median baseline:          $baseline_median us"
echo "median static baseline:   $static_median us"
awk -v q="$quelmar_median" -v b="$baseline_median" -v s="$static_median" 'BEGIN {
    printf "ratio to baseline:        %.3f (target at most 1.3)\n", q / b
    printf "ratio to static baseline: %.3f\n", q / s
}'
echo "peak RSS quelmar:         $(peak_rss_kib "$quelmar") KiB"
echo "peak RSS baseline:        $(peak_rss_kib "$baseline") KiB"
echo "peak RSS static baseline: $(peak_rss_kib "$static_baseline") KiB"
