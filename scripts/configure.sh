#!/usr/bin/env bash
# Configures a CMake preset for the make targets: quiet on success; on failure
# only the project's own one-line reasons when it gave any, else all of CMake's.
# Usage: scripts/configure.sh PRESET [CMAKE ARGUMENTS...]
set -uo pipefail
cd "$(dirname "$0")/.."
errors=$(cmake --preset "$@" 2>&1 >/dev/null)
status=$?
if ((status == 0)); then
    [[ -z $errors ]] || printf '%s\n' "$errors" >&2
    exit 0
fi
own=$(grep '^quelmar: ' <<<"$errors")
printf '%s\n' "${own:-$errors}" >&2
exit "$status"
