#!/bin/sh
# Builds the key pass's fuzzer (clang, libFuzzer, ASan, UBSan) into
# build-fuzz-keys/ (or $1); it reads the shipped data/GBK2py.inf:
#   fuzz/build_bib_keys.sh && build-fuzz-keys/bib_keys_fuzz -max_total_time=600 \
#     -dict=fuzz/bib_file.dict build-fuzz-keys/corpus fuzz/corpus/bib_keys
set -eu
cd "$(dirname "$0")/.."
out=${1:-build-fuzz-keys}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -g -O1"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTOLVAR_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS="$flags -fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$out" -j2 --target tolvar_lib
mkdir -p "$out/corpus"
clang++ -std=c++20 $flags -fsanitize=fuzzer -Isrc -I"$out/generated" \
  -DTOLVAR_DATA_DIR="\"$(pwd)/data\"" \
  fuzz/bib_keys_fuzz.cc "$out/libtolvar_lib.a" -o "$out/bib_keys_fuzz"
echo "built $out/bib_keys_fuzz"
