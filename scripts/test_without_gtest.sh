#!/usr/bin/env bash
# Builds and tests as on a machine without libgtest-dev: the installed
# GoogleTest is hidden from CMake, so the tests build it from its sources in
# /usr/src/googletest. Then, with the sources hidden too, the dev preset must
# stop with one line naming what to install, and a plain configure must still
# build the tool, without tests.
# Usage: scripts/test_without_gtest.sh   (build trees under build/without-gtest)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
trees=build/without-gtest
hide_package=-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
hide_sources=-DQUELMAR_GTEST_SOURCES=$PWD/$trees/no-sources

bash scripts/configure.sh dev -B "$trees/sources" "$hide_package"
if [[ ! -d $trees/sources/googletest ]]; then
    echo "test_without_gtest.sh: GoogleTest was not built from its sources" >&2
    exit 1
fi
cmake --build "$trees/sources" -j "$JOBS" >"$trees/build.log" || { cat "$trees/build.log"; exit 1; }
ctest --test-dir "$trees/sources" -j "$JOBS" --output-on-failure --timeout 300 >"$trees/ctest.log" ||
    { cat "$trees/ctest.log"; exit 1; }
tail -n 3 "$trees/ctest.log"

if bash scripts/configure.sh dev -B "$trees/none" "$hide_package" "$hide_sources" 2>"$trees/none.err"; then
    echo "test_without_gtest.sh: the dev preset configured without GoogleTest" >&2
    exit 1
fi
if [[ $(wc -l <"$trees/none.err") -ne 1 ]] || ! grep -q 'libgtest-dev.*\.ci/install-deps' "$trees/none.err"; then
    echo "test_without_gtest.sh: expected one line naming the package, got:" >&2
    cat "$trees/none.err" >&2
    exit 1
fi
echo "without any GoogleTest the dev preset stops with: $(cat "$trees/none.err")"

cmake -S . -B "$trees/plain" "$hide_package" "$hide_sources" >/dev/null 2>&1
cmake --build "$trees/plain" -j "$JOBS" >/dev/null
test -x "$trees/plain/quelmar"
if ctest --test-dir "$trees/plain" -N | grep -q 'Test *#'; then
    echo "test_without_gtest.sh: a plain build without GoogleTest registered tests" >&2
    exit 1
fi
echo "without any GoogleTest a plain build makes the tool and no tests"
