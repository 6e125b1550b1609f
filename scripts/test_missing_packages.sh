#!/usr/bin/env bash
# The optional make targets, with what they need hidden from CMake, stop with
# one line naming the package to install: make bench without Google Benchmark,
# make sanitize without the clang sanitizer runtime (clang looks for it in an
# empty resource directory, as it would with the package missing).
# Usage: scripts/test_missing_packages.sh   (build trees under build/without-packages)
set -euo pipefail
cd "$(dirname "$0")/.."
trees=build/without-packages
mkdir -p "$trees/empty-resource-dir"

# expect_one_line NAME PATTERN PRESET [CMAKE ARGUMENTS...]
expect_one_line() {
    local name=$1 pattern=$2 preset=$3
    shift 3
    local err=$trees/$name.err
    if bash scripts/configure.sh "$preset" -B "$trees/$name" "$@" 2>"$err"; then
        echo "test_missing_packages.sh: the $preset preset configured without $name" >&2
        exit 1
    fi
    if [[ $(wc -l <"$err") -ne 1 ]] || ! grep -q "^quelmar: $pattern" "$err"; then
        echo "test_missing_packages.sh: expected one line naming the package, got:" >&2
        cat "$err" >&2
        exit 1
    fi
    echo "without $name the $preset preset stops with: $(cat "$err")"
}

expect_one_line benchmark \
    'Google Benchmark not found: install libbenchmark-dev (\.ci/install-deps does)$' \
    bench -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
expect_one_line sanitizer-runtime \
    'the clang sanitizer runtime not found: install libclang-rt-[0-9]*-dev (\.ci/install-deps does)$' \
    sanitize "-DCMAKE_EXE_LINKER_FLAGS=-resource-dir=$PWD/$trees/empty-resource-dir"
