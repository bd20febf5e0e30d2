#!/usr/bin/env bash
# Runs the POSIX build and the Windows build (under wine) on the same
# inputs with the same options and compares everything they leave: the
# .bbl, the backup, standard output, standard error and the exit code.
# Line ends aside (the Windows program writes CR LF), they must be equal.
#   compare-builds.sh NATIVE_TOLVAR WINDOWS_TOLVAR_EXE
# Each program runs from its build folder, where the pinyin dictionary lies
# beside it. Needs wine; WINEPREFIX and WINEDEBUG come from the caller.
set -euo pipefail
native=$(realpath "$1")
windows=$(realpath "$2")
source_dir=$(realpath "$(dirname "$0")/../..")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Inputs: the example bibliography as it is and with CR LF line ends, the
# same many times over (large enough to be read and written in pieces), and
# a file with parse errors, Chinese text in odd places and a line without
# a final line end.
mkdir -p "$scratch/inputs"
cp "$source_dir/examples/paper.bbl" "$scratch/inputs/lf.bbl"
for _ in $(seq 250); do cat "$source_dir/examples/paper.bbl"; done > "$scratch/inputs/large.bbl"
sed 's/$/\r/' "$source_dir/examples/paper.bbl" > "$scratch/inputs/crlf.bbl"
printf '%b' '\\begin{thebibliography}{3}\r\n\r\n\\bibitem[\xd5\xc5(2000)\xd5\xc5 and \xc0\xee]{a}\n' \
  '\xd5\xc5 and \xc0\xee.\n\\newblock \xb1\xea\xcc\xe2 {\\bf x}.\n\\newblock In \xd6\xdc, editor, 2 edition.\n\n' \
  '\\bibitem[{\xb0\xa1}^^zz\x81(1)]{b}\n\xb0\xa1 et~al.\n\\newblock ^^b0^^a1 \\v{\xb0\xa1 \n\n' \
  '\\bibitem{c}\nZ. Zed and Y. Why.\n\\newblock pages 1--2, chapter 3.\n\n' \
  '\\end{thebibliography}\n% trailing line without end' > "$scratch/inputs/odd.bbl"

option_sets=(
  ""
  "-visible"
  "-cjk"
  "-npe"
  "-s"
  "-sort"
  "-sort=bs"
  "-sort=bh"
  "-sort=uni"
  "-sort=py -visible -and=AND -etal.=ETAL"
)

# Drops the CR of every CR LF pair.
strip_cr() { if [ -f "$1" ]; then sed 's/\r$//' "$1"; else echo "(no file)"; fi; }

passed=0
failed=0
for input in "$scratch"/inputs/*.bbl; do
  for options in "${option_sets[@]}"; do
    name="$(basename "$input" .bbl) [${options:-no options}]"
    for side in native windows; do
      dir="$scratch/$side"
      rm -rf "$dir" && mkdir -p "$dir"
      cp "$input" "$dir/paper.bbl"
      # shellcheck disable=SC2086  # the options are split on purpose
      if [ $side = native ]; then
        (cd "$dir" && PATH=/usr/bin:/bin "$native" $options paper >stdout 2>stderr; echo $? >code) || true
      else
        (cd "$dir" && wine "$windows" $options paper >stdout 2>stderr; echo $? >code) || true
        # Now and then wine fails to start a program at all: it ends
        # without a word and the input untouched. That run is made again,
        # once, and said so.
        if [ "$(cat "$dir/code")" != 0 ] && [ ! -s "$dir/stdout" ] && [ ! -s "$dir/stderr" ] &&
          cmp -s "$input" "$dir/paper.bbl" && [ "$(cat "$scratch/native/code")" = 0 ]; then
          echo "again $name: wine ended with $(cat "$dir/code") and nothing written"
          cp "$input" "$dir/paper.bbl"
          (cd "$dir" && wine "$windows" $options paper >stdout 2>stderr; echo $? >code) || true
        fi
      fi
    done
    differences=""
    for file in paper.bbl paper.bbl.bak stdout stderr code; do
      if ! cmp -s <(strip_cr "$scratch/native/$file") <(strip_cr "$scratch/windows/$file"); then
        differences+=" $file"
      fi
    done
    # The Windows program writes every line end as CR LF.
    bbl="$scratch/windows/paper.bbl"
    if [ -f "$bbl" ] && [ "$(tr -cd '\n' < "$bbl" | wc -c)" != "$(grep -c $'\r$' "$bbl")" ]; then
      differences+=" line-ends"
    fi
    if [ -n "$differences" ]; then
      failed=$((failed + 1))
      echo "FAIL $name:$differences"
      for file in $differences; do
        [ "$file" = line-ends ] && continue
        diff <(strip_cr "$scratch/native/$file" | cat -A) <(strip_cr "$scratch/windows/$file" | cat -A) | head -20 || true
      done
    else
      passed=$((passed + 1))
      echo "ok   $name"
    fi
  done
done
echo "compare: $passed passed, $failed failed"
[ "$failed" = 0 ]
