#!/bin/sh
# Builds the conversion pass's fuzzer with clang's libFuzzer, ASan and UBSan.
#   fuzz/build.sh            -> build-fuzz/convert_fuzz
#   build-fuzz/convert_fuzz -max_total_time=600 -jobs=1 build-fuzz/corpus fuzz/seeds
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" \
  "$root/fuzz/convert_fuzz.cc" \
  "$root/src/convert/author_list.cc" \
  "$root/src/convert/cjk_output.cc" \
  "$root/src/convert/convert.cc" \
  "$root/src/convert/tex_reader.cc" \
  -o "$out/convert_fuzz"
echo "built $out/convert_fuzz"
