#!/usr/bin/env bash
# Runs the POSIX build and the Windows build (under wine) on the same
# inputs with the same options and compares everything they leave: the
# .bbl or .bib, the backup, standard output, standard error and the exit
# code. For a .bbl, line ends aside (the Windows program writes CR LF),
# they must be equal. A .bib keeps its own line ends on both systems: the
# .bib and its .bak must be equal byte for byte, CR LF files included.
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

# .bib inputs for -keys: a UTF-8 file with LF line ends (@string, "..",
# (..) and one-line entries, editors only, a comment inside an entry, an
# English entry, no line end at the end), the same with CR LF, the GBK
# bibliography of the end-to-end tests (and with CR LF), the UTF-8 file in
# GBK, a file whose Chinese entries all have keys already (two of them
# read otherwise than tolvar reads them), the same with CR LF, and a file
# with entries that cannot be read between ones that can.
cat > "$scratch/inputs/lf.bib" <<'EOF'
% Chinese and English references
@string{zgyw = {中国语文}}

@article{wang2012,
  author  = {王力 and 李四 and others},
  title   = {汉语语法},
  journal = zgyw # {（增刊）},
  year    = 2012
}

@book{ouyang1975,
    author    = "欧阳修 and 宋祁",
    title     = {新唐书},
    year      = {1975},
}

@inproceedings{shan2003, author = {单士元 and 曾昭抡}, title = {故宫}, year = {2003}}

@book{knuth1986,
  author = {Donald E. Knuth},
  title  = {The {\TeX}book},
  year   = {1986}
}

@proceedings{zhou2008,
	editor = {周八 and 区志坚},
	title = {计算语言学},
	year = {2008}
}

@misc(zhuge2020,
  % the author as the library wrote it
  AUTHOR = {诸葛亮},
  TITLE = {出师表}
)

@article{li2015,
  author = {李明 and John Smith},
  title = {跨语言检索}}
% a comment without a line end
EOF
truncate -s -1 "$scratch/inputs/lf.bib"  # the line end after the last comment
sed 's/$/\r/' "$scratch/inputs/lf.bib" > "$scratch/inputs/crlf.bib"
cp "$source_dir/tests/e2e/refs.bib" "$scratch/inputs/gbk.bib"
sed 's/$/\r/' "$source_dir/tests/e2e/refs.bib" > "$scratch/inputs/gbk-crlf.bib"
# The UTF-8 file in GBK, with names whose trail bytes are \ and ^.
{ cat "$scratch/inputs/lf.bib"; printf '\n@book{ou2001, author = {區昞 and 王力}, title = {方言}}\n'; } |
  iconv -f UTF-8 -t GBK > "$scratch/inputs/gbk-lf.bib"
cat > "$scratch/inputs/keyed.bib" <<'EOF'
@book{a,
  key    = {wang2 li4},
  author = {王力},
  title  = {汉语史稿}
}

@book{b,
  key    = {ceng2 guo2 fan1},
  author = {曾国藩},
  title  = {家书}
}

@book{c,
  author = {张三},
  KEY    = "Zhang San",
  title  = {三}
}

@article{d,
  key    = {dan1 shi4 yuan2},
  author = {单士元},
  title  = {故宫}
}

@book{e,
  author = {Leslie Lamport},
  title  = {LaTeX}
}
EOF
sed 's/$/\r/' "$scratch/inputs/keyed.bib" > "$scratch/inputs/keyed-crlf.bib"
cat > "$scratch/inputs/faulty.bib" <<'EOF'
@book{good1,
  author = {张三},
  title  = {一},
}

@book{broken,
  author = {李四,
  title  = {二}
}

@book{good2,
  author = {王五},
  title  = {三}
}

@article{nocomma
  author = {赵六}
}

@book{good3, author = {孙七}, title = "四}
@book{good4, author = {周八}, title = {五}}
EOF

# Each .bib case: the input, then the options.
bib_cases=(
  "lf.bib|-utf8 -keys"
  "lf.bib|-utf8 -keys=bs"
  "lf.bib|-utf8 -keys=bhs -s"
  "lf.bib|-utf8 -keys=uni"
  "lf.bib|-utf8 -keys -keyfield=sortname"
  "lf.bib|-keys"
  "crlf.bib|-utf8 -keys"
  "crlf.bib|-utf8 -keys=bs"
  "crlf.bib|-utf8 -keys -keyfield=sortname"
  "gbk.bib|-keys"
  "gbk.bib|-keys=bs"
  "gbk.bib|-keys=uni"
  "gbk.bib|-keys -keyfield=sortname"
  "gbk.bib|-utf8 -keys"
  "gbk-crlf.bib|-keys"
  "gbk-lf.bib|-keys"
  "gbk-lf.bib|-keys=bhs"
  "keyed.bib|-utf8 -keys"
  "keyed.bib|-utf8 -keys -s"
  "keyed.bib|-utf8 -keys -replace-keys"
  "keyed.bib|-utf8 -keys=bs -replace-keys"
  "keyed-crlf.bib|-utf8 -keys -replace-keys"
  "faulty.bib|-utf8 -keys"
  "faulty.bib|-utf8 -keys -s"
)

# Drops the CR of every CR LF pair.
strip_cr() { if [ -f "$1" ]; then sed 's/\r$//' "$1"; else echo "(no file)"; fi; }
# The bytes as they are.
as_is() { if [ -f "$1" ]; then cat "$1"; else echo "(no file)"; fi; }

# run_both NAME INPUT FILE OPTIONS ARGUMENT: a fresh folder for each side
# with INPUT copied in as FILE, the program run there as
# `tolvar OPTIONS ARGUMENT`.
run_both() {
  local name=$1 input=$2 file=$3 options=$4 argument=$5 side dir
  for side in native windows; do
    dir="$scratch/$side"
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$input" "$dir/$file"
    # shellcheck disable=SC2086  # the options are split on purpose
    if [ $side = native ]; then
      (cd "$dir" && PATH=/usr/bin:/bin "$native" $options "$argument" >stdout 2>stderr; echo $? >code) || true
    else
      (cd "$dir" && wine "$windows" $options "$argument" >stdout 2>stderr; echo $? >code) || true
      # Now and then wine fails to start a program at all: it ends
      # without a word and the input untouched. That run is made again,
      # once, and said so.
      if [ "$(cat "$dir/code")" != 0 ] && [ ! -s "$dir/stdout" ] && [ ! -s "$dir/stderr" ] &&
        cmp -s "$input" "$dir/$file" && [ "$(cat "$scratch/native/code")" = 0 ]; then
        echo "again $name: wine ended with $(cat "$dir/code") and nothing written"
        cp "$input" "$dir/$file"
        (cd "$dir" && wine "$windows" $options "$argument" >stdout 2>stderr; echo $? >code) || true
      fi
    fi
  done
}

passed=0
failed=0
# report NAME DIFFERENCES EXACT_FILES...: counts the case and shows the
# differences (EXACT_FILES compared byte for byte, the rest without CRs).
report() {
  local name=$1 differences=$2 file show
  shift 2
  if [ -n "$differences" ]; then
    failed=$((failed + 1))
    echo "FAIL $name:$differences"
    for file in $differences; do
      case $file in line-ends*) continue ;; esac
      show=strip_cr
      if [[ " $* " == *" $file "* ]]; then show=as_is; fi
      diff <($show "$scratch/native/$file" | cat -A) <($show "$scratch/windows/$file" | cat -A) | head -20 || true
    done
  else
    passed=$((passed + 1))
    echo "ok   $name"
  fi
}

# The number of LFs and the number of CR LF pairs in a file (0 and 0
# when there is none).
lf_count() { if [ -f "$1" ]; then tr -cd '\n' < "$1" | wc -c; else echo 0; fi; }
crlf_count() { if [ -f "$1" ]; then perl -0777 -ne 'print scalar(() = /\r\n/g)' "$1"; else echo 0; fi; }

for input in "$scratch"/inputs/*.bbl; do
  for options in "${option_sets[@]}"; do
    name="$(basename "$input" .bbl) [${options:-no options}]"
    run_both "$name" "$input" paper.bbl "$options" paper
    differences=""
    for file in paper.bbl paper.bbl.bak stdout stderr code; do
      if ! cmp -s <(strip_cr "$scratch/native/$file") <(strip_cr "$scratch/windows/$file"); then
        differences+=" $file"
      fi
    done
    # The Windows program writes every line end as CR LF.
    bbl="$scratch/windows/paper.bbl"
    if [ -f "$bbl" ] && [ "$(lf_count "$bbl")" != "$(crlf_count "$bbl")" ]; then
      differences+=" line-ends"
    fi
    report "$name" "$differences"
  done
done

for case in "${bib_cases[@]}"; do
  input="$scratch/inputs/${case%%|*}"
  options=${case#*|}
  name="${case%%|*} [$options]"
  run_both "$name" "$input" refs.bib "$options" refs.bib
  differences=""
  for file in refs.bib refs.bib.bak; do
    if ! cmp -s <(as_is "$scratch/native/$file") <(as_is "$scratch/windows/$file"); then
      differences+=" $file"
    fi
  done
  for file in stdout stderr code; do
    if ! cmp -s <(strip_cr "$scratch/native/$file") <(strip_cr "$scratch/windows/$file"); then
      differences+=" $file"
    fi
  done
  # Either side: a .bib keeps the line ends of its input, and the .bak is
  # the input.
  for side in native windows; do
    bib="$scratch/$side/refs.bib"
    if [ "$(crlf_count "$input")" = 0 ] && [ "$(crlf_count "$bib")" != 0 ]; then
      differences+=" line-ends($side)"
    elif [ "$(crlf_count "$input")" = "$(lf_count "$input")" ] &&
      [ "$(crlf_count "$bib")" != "$(lf_count "$bib")" ]; then
      differences+=" line-ends($side)"
    fi
    if [ -f "$bib.bak" ] && ! cmp -s "$input" "$bib.bak"; then
      differences+=" bak-not-input($side)"
    fi
  done
  report "$name" "$differences" refs.bib refs.bib.bak
done
echo "compare: $passed passed, $failed failed"
[ "$failed" = 0 ]
