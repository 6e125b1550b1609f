#!/usr/bin/env bash
# Builds the tool for i686 and aarch64 Linux and runs the whole-run tests
# (stored outputs and the chain table) against each build: the i686 one
# directly, the aarch64 one under qemu. The host's tool_tests drive them.
# Installs the cross compilers and qemu when missing.
# Usage: scripts/cross_check.sh   (build trees build/cross-*, tests from build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

bash .ci/install-deps crossbuild-essential-i386 crossbuild-essential-arm64 qemu-user

bash scripts/configure.sh dev
cmake --build --preset dev -j "$JOBS" --target tool_tests >/dev/null

tests='Cases/ToolRun.*:Cases/TypedName.*:Cases/SharedFile.*:WriteFailure.*:ChainRun.*'
tests+=':Dialogues/NotesOnErrors.*:Cases/Arguments.*:Cases/ConsoleCannotBeWritten.*:InputCannotBeRead.*'
tests+=':Cases/OwnPipe.*:OwnFifo.*:TwoRuns.*:ReportLength.*:ReportToAFifo.*'

# ELF class (1: 32-bit, 2: 64-bit) and machine (3: x86, 183: aarch64) of a binary,
# so that a host build cannot pass for a foreign one.
elf_kind() {
    local class machine
    class=$(od -An -j4 -N1 -tu1 "$1" | tr -d ' ')
    machine=$(od -An -j18 -N2 -tu2 "$1" | tr -d ' ')
    echo "$class/$machine"
}

check() { # preset, expected ELF kind, runner
    local preset=$1 kind=$2 runner=$3
    local tool=build/$preset/quelmar
    echo "== $preset"
    bash scripts/configure.sh "$preset"
    cmake --build --preset "$preset" -j "$JOBS" --target quelmar >/dev/null
    if [[ $(elf_kind "$tool") != "$kind" ]]; then
        echo "cross_check.sh: $tool is not a $preset binary (ELF $(elf_kind "$tool"))" >&2
        return 1
    fi
    QUELMAR_TOOL=$PWD/$tool QUELMAR_TOOL_RUNNER=$runner \
        build/dev/tests/tool_tests --gtest_filter="$tests" --gtest_brief=1
}

# Random chains, spread over twelve orders of magnitude, run through the host
# build and the foreign one: console and report must match byte for byte. The
# stored cases are few; this is what notices other arithmetic (x87's 80-bit
# intermediates, a contracted multiply-add) on a few runs in a hundred.
compare_random_chains() { # preset, runner
    local preset=$1 runner=$2 work differ=0 n=0 chain
    work=$(mktemp -d)
    awk 'BEGIN { srand(20261211); for (i = 0; i < 300; ++i) {
             line = ""
             for (j = 0; j < 5; ++j) line = line sprintf(" %.17g", 10 ^ (12 * rand() - 6))
             print line } }' >"$work/chains"
    mkdir "$work/host" "$work/foreign"
    while read -r chain; do
        n=$((n + 1))
        printf 'r.txt %s\n' "$chain" >"$work/in"
        (cd "$work/host" && setsid -w "$OLDPWD/build/dev/quelmar" <../in >out 2>&1) || true
        # shellcheck disable=SC2086 # the runner is a command and its words
        (cd "$work/foreign" && setsid -w $runner "$OLDPWD/build/$preset/quelmar" <../in >out 2>&1) ||
            true
        if ! cmp -s "$work/host/out" "$work/foreign/out" ||
            ! cmp -s "$work/host/r.txt" "$work/foreign/r.txt"; then
            differ=$((differ + 1))
            ((differ > 3)) || echo "cross_check.sh: $preset differs from the host on:$chain" >&2
        fi
    done <"$work/chains"
    rm -rf "$work"
    echo "$preset: $((n - differ)) of $n random chains print the same bytes as the host build"
    ((differ == 0))
}

check cross-i686 1/3 ""
compare_random_chains cross-i686 ""
check cross-aarch64 2/183 "qemu-aarch64 -L /usr/aarch64-linux-gnu"
compare_random_chains cross-aarch64 "qemu-aarch64 -L /usr/aarch64-linux-gnu"
echo "cross check passed"
