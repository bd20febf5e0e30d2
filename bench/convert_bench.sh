#!/bin/sh
# Speed of the conversion pass on a ~50 MB generated GBK .bbl, against cat
# of the same file. Builds an optimised bench binary of its own; when a
# Release build of tolvar is given (or found in build-release/), times the
# whole program on the same file too.
#   bench/convert_bench.sh [megabytes] [path/to/tolvar]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${TMPDIR:-/tmp}/tolvar-bench.$$
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
megabytes=${1:-50}
program=${2:-$root/build-release/tolvar}

cmake -DDATA_DIR="$root/data" -DOUTPUT_DIR="$work/generated" -P "$root/data/generate_tables.cmake"
${CXX:-g++} -std=c++20 -O2 -DNDEBUG -I"$root/src" -I"$work/generated" "$root/bench/convert_bench.cc" \
  "$root/src/convert/author_list.cc" "$root/src/convert/cjk_output.cc" \
  "$root/src/convert/convert.cc" "$root/src/convert/tex_reader.cc" \
  "$root/src/shared/char_model.cc" "$root/src/shared/gbk_tables.cc" -o "$work/convert_bench"
python3 "$root/bench/make_bbl.py" "$work/in.bbl" "$megabytes"

now() { date +%s.%N; }
cat "$work/in.bbl" > /dev/null  # warm the page cache
t0=$(now); cat "$work/in.bbl" > "$work/cat.bbl"; t1=$(now)
"$work/convert_bench" "$work/in.bbl" "$work/out.bbl" | tee "$work/report"
t2=$(now); "$work/convert_bench" "$work/in.bbl" "$work/out.bbl" > /dev/null; t3=$(now)

size=$(wc -c < "$work/in.bbl")
awk -v s="$size" -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" 'BEGIN {
  cat = t1 - t0; prog = t3 - t2
  printf "cat:               %.3f s  %.0f MB/s\n", cat, s / 1e6 / cat
  printf "bench process:     %.3f s  %.0f MB/s  (%.1f x the time of cat)\n", prog, s / 1e6 / prog, prog / cat
}'

if [ -x "$program" ]; then
  cp "$work/in.bbl" "$work/paper.bbl"
  printf '%% defaults\n' > "$work/tolvar.cfg"
  t4=$(now); (cd "$work" && "$program" -s -npe paper); t5=$(now)
  awk -v s="$size" -v t0="$t0" -v t1="$t1" -v t4="$t4" -v t5="$t5" 'BEGIN {
    cat = t1 - t0; run = t5 - t4
    printf "tolvar -s -npe:    %.3f s  %.0f MB/s  (%.1f x the time of cat)\n", run, s / 1e6 / run, run / cat
  }'
fi
