#!/bin/sh
# Builds the .bib reader's fuzzer with clang's libFuzzer, ASan and UBSan
# into build-fuzz-bib/ (or $1); new inputs go to its corpus/, the seeds are
# in the tree:
#   fuzz/build_bib.sh && build-fuzz-bib/bib_file_fuzz -max_total_time=600 \
#     -dict=fuzz/bib_file.dict build-fuzz-bib/corpus fuzz/corpus/bib_file
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/build-fuzz-bib"}
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -I"$root/src" \
  "$root/fuzz/bib_file_fuzz.cc" \
  "$root/src/bib/bib_file.cc" \
  -o "$out/bib_file_fuzz"
echo "built $out/bib_file_fuzz"
