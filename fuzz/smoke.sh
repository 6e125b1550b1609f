#!/usr/bin/env bash
# Runs every fuzz target for 30 seconds with a fixed seed on a copy of its seed
# corpus, so new inputs never land in the repository. Fails if any target does.
# Usage: fuzz/smoke.sh BUILD_DIR   (the binary dir of the fuzz preset)
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd) || exit 2
corpus_root="$(cd "$(dirname "$0")" && pwd)/corpus"
targets=(fuzz_number_reader fuzz_number_format fuzz_dialogue)

work=$(mktemp -d "${TMPDIR:-/tmp}/quelmar-fuzz-smoke.XXXXXX") || exit 2
failed=()
for target in "${targets[@]}"; do
    binary="$build_dir/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "missing fuzz target: $binary" >&2
        failed+=("$target")
        continue
    fi
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    cp "$corpus_root/$target"/* "$work/$target/corpus/"
    echo "== $target"
    # -timeout turns a hang into a failure instead of a stalled run.
    if (cd "$work/$target" && "$binary" -seed=1 -max_total_time=30 -timeout=10 \
            -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
            corpus >log 2>&1); then
        grep -E '^(Done|stat::number_of_executed_units)' "$work/$target/log"
    else
        tail -n 40 "$work/$target/log" >&2
        echo "$target failed; inputs kept in $work/$target/artifacts" >&2
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "fuzz smoke failed: ${failed[*]} (logs in $work)" >&2
    exit 1
fi
rm -rf "$work"
echo "fuzz smoke passed"
