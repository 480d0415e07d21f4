#!/bin/sh
# Builds and runs the PE version-reader fuzzer with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer. Usage: tests/fuzz/build.sh [seconds]  (default 300)
# Work files go to build-fuzz/ at the top of the tree; the PE fixtures seed the corpus.
set -eu

top=$(cd "$(dirname "$0")/../.." && pwd)
out="$top/build-fuzz"
seconds="${1:-300}"
mkdir -p "$out/corpus" "$out/crashes"
cp "$top"/tests/data/pe/*.exe "$out/corpus/"

clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$top/src/common" $(pkg-config --cflags Qt6Core) \
    "$top/tests/fuzz/fuzz_peversion.cpp" "$top/src/common/PeVersionReader.cpp" \
    $(pkg-config --libs Qt6Core) -o "$out/fuzz_peversion"

cd "$out"
./fuzz_peversion -max_total_time="$seconds" -max_len=16384 -dict="$top/tests/fuzz/pe.dict" \
    -artifact_prefix=crashes/ -print_final_stats=1 corpus
