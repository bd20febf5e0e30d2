#!/bin/sh
# Builds the conversion pass's fuzzer with clang's libFuzzer, ASan and UBSan
# into build-fuzz/ (new inputs go to build-fuzz/corpus, seeds are in the tree):
#   fuzz/build_convert.sh && build-fuzz/convert_fuzz -max_total_time=600 -jobs=1 \
#     build-fuzz/corpus fuzz/corpus/convert
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
mkdir -p "$out/corpus"
# The GBK tables the character model reads are generated from data/.
cmake -DDATA_DIR="$root/data" -DOUTPUT_DIR="$out/generated" -P "$root/data/generate_tables.cmake"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root/src" -I"$out/generated" \
  "$root/fuzz/convert_fuzz.cc" \
  "$root/src/convert/author_list.cc" \
  "$root/src/convert/cjk_output.cc" \
  "$root/src/convert/convert.cc" \
  "$root/src/convert/tex_reader.cc" \
  "$root/src/shared/char_model.cc" \
  "$root/src/shared/gbk_tables.cc" \
  -o "$out/convert_fuzz"
echo "built $out/convert_fuzz"
