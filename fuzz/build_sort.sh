#!/bin/sh
# Builds the sort fuzzers with clang's libFuzzer, ASan and UBSan into build-fuzz-sort/ (or $1):
#   fuzz/build_sort.sh && build-fuzz-sort/sort_key_fuzz -max_total_time=600 fuzz/corpus/sort_key
set -eu
cd "$(dirname "$0")/.."
out=${1:-build-fuzz-sort}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -g -O1"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTOLVAR_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS="$flags -fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$out" -j2 --target tolvar_lib
for target in sort_key_fuzz pinyin_dictionary_fuzz sort_bibitems_fuzz; do
  clang++ -std=c++20 $flags -fsanitize=fuzzer -Isrc -I"$out/generated" \
    "fuzz/$target.cc" "$out/libtolvar_lib.a" -o "$out/$target"
done
echo "built $out/sort_key_fuzz $out/pinyin_dictionary_fuzz $out/sort_bibitems_fuzz"
