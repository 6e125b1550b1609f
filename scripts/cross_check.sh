#!/usr/bin/env bash
# Builds the tool for i686 and aarch64 Linux and runs the whole-run tests
# (stored outputs and the chain table) against each build: the i686 one
# directly, the aarch64 one under qemu. The host's tool_tests drive them.
# Installs the cross compilers and qemu when missing.
# Usage: scripts/cross_check.sh   (build trees build/cross-*, tests from build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

packages=(crossbuild-essential-i386 crossbuild-essential-arm64 qemu-user)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

bash scripts/configure.sh dev
cmake --build --preset dev -j "$JOBS" --target tool_tests >/dev/null

tests='Cases/ToolRun.*:Cases/TypedName.*:Cases/SharedFile.*:WriteFailure.*:ChainRun.*'

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

check cross-i686 1/3 ""
check cross-aarch64 2/183 "qemu-aarch64 -L /usr/aarch64-linux-gnu"
echo "cross check passed"
