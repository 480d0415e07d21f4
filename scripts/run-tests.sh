#!/usr/bin/env bash
# make test: every test through CTest. A skipped test guards nothing in that run, so
# a skip fails the run unless its test is named in EXPECTED_SKIPS (space-separated),
# and each skip is printed with the reason its test gave.
# Usage: scripts/run-tests.sh BUILD_DIR [JOBS]
set -uo pipefail
build=${1:?build directory}
jobs=${2:-$(nproc)}
out=$(mktemp)
trap 'rm -f "$out"' EXIT

(cd "$build" && ctest --output-on-failure -j "$jobs") | tee "$out"
status=${PIPESTATUS[0]}

unexpected=()
for name in $(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$out"); do
    [[ " ${EXPECTED_SKIPS:-} " == *" $name "* ]] || unexpected+=("$name")
done
if ((${#unexpected[@]})); then
    echo
    echo "make test: ${#unexpected[@]} test(s) skipped, so what they guard went unchecked:"
    for name in "${unexpected[@]}"; do
        reason=$(awk -v t="$name" '$0 ~ "^[0-9]+/[0-9]+ Testing: " t "$" {on = 1} on && /^(SKIP   :|.*SKIP:)/ {print; n++} on && /^<end of output>/ {on = 0} n >= 3 {exit}' \
            "$build/Testing/Temporary/LastTest.log")
        printf '  %s\n%s\n' "$name" "$(sed 's/^/      /' <<<"$reason")"
    done
    status=1
fi
exit "$status"
