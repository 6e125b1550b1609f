#!/usr/bin/env bash
# The manual page passes mandoc's lint and groff's warnings without a word,
# and no line of it is longer than 80 bytes.
# Usage: scripts/check_manual.sh
set -uo pipefail
cd "$(dirname "$0")/.."
page=doc/quelmar.1
failed=0
# check NAME COMMAND...: the command must succeed and print nothing.
check() {
    local name=$1 out status
    shift
    out=$("$@" 2>&1)
    status=$?
    if ((status != 0)) || [[ -n $out ]]; then
        echo "check_manual.sh: $name on $page (status $status):" >&2
        printf '%s\n' "$out" >&2
        failed=1
    fi
}
check "mandoc -Tlint" mandoc -Tlint "$page"
check "groff -man -ww -z" groff -man -ww -z "$page"
# mandoc flags long text lines only; macro lines count as well.
check "lines over 80 bytes" env LC_ALL=C awk 'length > 80 { print FILENAME ":" FNR ": " length " bytes" }' "$page"
((failed == 0)) && echo "$page: mandoc -Tlint and groff -man -ww -z are clean, no line over 80 bytes"
exit "$failed"
