#!/bin/bash
# Regenerates data/gbk-unicode.txt, data/gbk-strokes.txt and data/GBK2py.inf
# into a scratch folder and compares them byte for byte with the committed
# files. Exits 77 (skipped) unless the recorded versions of the sources
# are installed (tools/install-sources.sh installs them).
set -euo pipefail
source "$(dirname "$0")/sources.sh"
DATA_DIR=$TOOLS_DIR/../data

skip() { echo "skipped: $*"; exit 77; }

command -v python3 >/dev/null || skip "python3 is not installed"
command -v node >/dev/null || skip "node is not installed"
for entry in "${DEBIAN_SOURCES[@]}"; do
  package=${entry%% *} version=${entry#* }
  installed=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || true)
  [ "$installed" = "$version" ] || skip "$package $version is not installed (found '${installed}')"
done
for entry in "pinyin-pro $PINYIN_PRO_VERSION $PINYIN_PRO" "pinyin $PINYIN_VERSION $PINYIN"; do
  read -r package version dir <<<"$entry"
  installed=$(node -p "require('$dir/package.json').version" 2>/dev/null || true)
  [ "$installed" = "$version" ] ||
    skip "$package $version is not installed in $dir (found '${installed}')"
done

export PYTHONDONTWRITEBYTECODE=1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 "$TOOLS_DIR/gbk_tables.py" "$scratch"
python3 "$TOOLS_DIR/pinyin_dictionary.py" --pinyin-pro "$PINYIN_PRO" --pinyin "$PINYIN" "$scratch/GBK2py.inf"
status=0
for file in gbk-unicode.txt gbk-strokes.txt GBK2py.inf; do
  if cmp -s "$DATA_DIR/$file" "$scratch/$file"; then
    echo "data/$file: reproduced"
  else
    echo "data/$file: differs from what the generator gives"
    status=1
  fi
done
exit $status
