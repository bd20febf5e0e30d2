# The package data the generators read, with the versions the committed
# files were generated from. Sourced by install-sources.sh and check-data.sh.
DEBIAN_SOURCES=(
  "unicode-data 15.0.0-1"
  "fcitx5-module-pinyinhelper 5.0.16-1"
  "rime-data-stroke 0.0~git20230204.c8bc405-1"
  "rime-data-terra-pinyin 0.0~git20230206.9427853-1"
)
PINYIN_PRO_VERSION=3.29.4
PINYIN_VERSION=4.0.0
# npm prunes what it did not install itself: install both packages in one command.
NPM_SOURCES=("pinyin-pro@$PINYIN_PRO_VERSION" "pinyin@$PINYIN_VERSION")
TOOLS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PINYIN_PRO=${PINYIN_PRO:-$TOOLS_DIR/node_modules/pinyin-pro}
PINYIN=${PINYIN:-$TOOLS_DIR/node_modules/pinyin}
