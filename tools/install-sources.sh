#!/bin/bash
# Installs the package data that tools/gbk_tables.py and
# tools/pinyin_dictionary.py read: Debian packages with apt-get (as root)
# and the npm packages pinyin-pro and pinyin into tools/node_modules.
set -euo pipefail
source "$(dirname "$0")/sources.sh"

packages=()
for entry in "${DEBIAN_SOURCES[@]}"; do packages+=("${entry%% *}"); done
apt-get update
apt-get install -y "${packages[@]}" python3 nodejs npm
npm install --prefix "$TOOLS_DIR" --no-save --no-package-lock "${NPM_SOURCES[@]}"
