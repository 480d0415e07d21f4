#!/bin/sh
# Builds every fuzz target with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs them one after the other, each for a set time,
# starting from its committed corpus. Findings (crashing inputs) go to
# <build>/findings/<target>/, the log of each run beside them.
#
# Usage: tests/fuzz/run.sh [build-dir] [seconds-per-target] [target ...]
#   FUZZ_MERGE=1  afterwards minimise each committed corpus with what the run found
#                 (-merge=1); hand-written inputs, named rather than hashed, stay.
set -eu

top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$top/build-fuzz}
seconds=${2:-180}
[ $# -ge 2 ] && shift 2 || shift $#
targets=${*:-$(cd "$top/tests/fuzz" && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//')}

cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "fuzz: clang is missing; run scripts/install-deps.sh fuzz" >&2
    exit 1
fi
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
echo "fuzz: building in $out"
cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DVT_FUZZ=ON -DVT_WERROR=OFF -DVT_BUILD_BENCH=OFF >"$out.configure.log" 2>&1 ||
    { cat "$out.configure.log"; exit 1; }
cmake --build "$out" -j "$(nproc)" --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

# Keeps the committed corpus small: the fewest inputs that reach every edge seen
# (hit counts ignored). Hand-written inputs (named, not hashed) stay whatever their coverage.
merge_corpus() {
    rm -rf "$3.min" && mkdir -p "$3.min"
    "$out/fuzz/fuzz_$1" -merge=1 -use_counters=0 "$3.min" "$2" "$3" >"$out/findings/$1.merge.log" 2>&1
    find "$2" -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
    cp -n "$3.min"/* "$2"/
    for named in "$2"/*[!0-9a-f]*; do
        [ -f "$named" ] && rm -f "$2/$(sha1sum <"$named" | cut -c1-40)"
    done
    return 0
}

failed=""
summary=""
for t in $targets; do
    corpus="$top/tests/fuzz/corpus/$t"
    work="$out/fuzz-work/$t"
    findings="$out/findings/$t"
    mkdir -p "$work" "$findings" "$corpus"
    cp "$corpus"/* "$work"/ 2>/dev/null || true
    set -- -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/"
    [ -f "$top/tests/fuzz/$t.dict" ] && set -- "$@" -dict="$top/tests/fuzz/$t.dict"
    case $t in
    linkframe | peversion) set -- "$@" -max_len=16384 ;;
    *) set -- "$@" -max_len=4096 ;;
    esac
    echo "fuzz: $t for ${seconds}s"
    if "$out/fuzz/fuzz_$t" "$@" "$work" >"$findings.log" 2>&1; then
        result=ok
    else
        result=FAILED
        failed="$failed $t"
        tail -40 "$findings.log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$findings.log" | tail -1)
    summary="$summary$(printf '%-10s %-6s %12s runs' "$t" "$result" "${runs:-?}")\n"
    if [ "${FUZZ_MERGE:-0}" = 1 ] && [ $result = ok ]; then
        merge_corpus "$t" "$corpus" "$work"
    fi
done

printf "fuzz: summary\n$summary"
if [ -n "$failed" ]; then
    echo "fuzz: findings in$failed (inputs under $out/findings/)" >&2
    exit 1
fi
