#!/usr/bin/env bash
# Makes the Debian package and the Windows zip with their workflow presets
# and tries both as a user would:
# - the .deb: its control fields and file list; lintian (no error allowed);
#   installed with apt-get, the installed tolvar run from another folder with
#   a plain PATH must give the same bytes as the build tree's program; then
#   apt-get remove must leave no file of it behind;
# - the zip: its file list and text files; unpacked into a fresh folder, its
#   tolvar.exe is run under wine, from another working folder, and must give
#   the same bytes as the POSIX program, line ends aside.
#   tests/package/check-packages.sh [NATIVE_TOLVAR]   (default: build/tolvar)
# Runs as root (or with sudo), on Debian, with tolvar not installed.
# Needs: dpkg-dev, lintian, unzip, g++-mingw-w64-x86-64, wine, groff.
set -euo pipefail
cd "$(dirname "$0")/../.."
source=$PWD
native=$(realpath "${1:-build/tolvar}")
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

step() { echo "== $1 (${SECONDS}s)"; }
source "$source/tests/windows/wine-prefix.sh"
# Waits for another apt-get or dpkg to finish rather than failing.
apt_get() { $sudo apt-get -o DPkg::Lock::Timeout=900 -y -qq "$@" >/dev/null; }
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

scratch=$(mktemp -d /tmp/tolvar-packages.XXXXXX)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$scratch/wine
cleanup() {
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if installed; then
    echo "removing tolvar, left installed by a failed check" >&2
    apt_get remove tolvar || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
installed() { dpkg-query -W -f '${Status}' tolvar 2>/dev/null | grep -q 'ok installed$'; }

# convert_example DIR COMMAND...: runs COMMAND -sort=py paper in the new
# folder DIR on a copy of the example, with a plain PATH and nothing else in
# the environment but what wine needs.
convert_example() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cp "$source/examples/paper.bbl" "$dir/"
  (cd "$dir" && env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$HOME" \
    WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
    "$@" -sort=py paper >"$dir.out" 2>&1) || { cat "$dir.out"; fail "$* -sort=py paper failed in $dir"; }
}

# only_crlf FILE: every line of FILE ends in CR LF.
only_crlf() {
  [ -s "$1" ] && [ "$(tail -c 2 "$1" | od -An -c | tr -d ' ')" = '\r\n' ] &&
    [ "$(LC_ALL=C grep -a -c -v $'\r$' "$1")" = 0 ]
}

marker='%& This .bbl file has been processed by tolvar!'

SECONDS=0
step "making the packages"
cmake --workflow --preset package
cmake --workflow --preset package-windows
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
[ -n "$version" ] || fail "no project version in build-package/CMakeCache.txt"
deb=$source/build-package/tolvar_${version}_amd64.deb
zip=$source/build-package-windows/tolvar-${version}-win64.zip
ls -l "$deb" "$zip"
step "packages made"

# What the build tree's program makes of the example: the reference.
convert_example "$scratch/reference" "$native"
expected=$scratch/reference/paper.bbl
[ "$(head -n 1 "$expected")" = "$marker" ] || fail "the build tree's program did not process paper.bbl"
cmp -s "$expected" "$source/examples/paper.bbl" && fail "the reference is the unchanged example"

#### The Debian package

dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tolvar ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project is $version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = tex ] || fail "Section: $(field Section)"
[ "$(field Recommends)" = texlive-binaries ] || fail "Recommends: $(field Recommends)"
for lib in libc6 libstdc++6; do
  field Depends | awk -v lib="$lib" -F ', ' '{ for (i = 1; i <= NF; i++) if (index($i, lib " (>= ") == 1) found = 1 }
    END { exit !found }' || fail "Depends: $(field Depends) lacks a versioned $lib"
done
[ "$(field Description | wc -l)" = 2 ] || fail "the description is not two lines:
$(field Description)"

# Every file, its owner and mode: nothing more, nothing less.
dpkg-deb --contents "$deb" | awk '{ print $1, $2, $6 }' | sort >"$scratch/contents"
sort >"$scratch/contents.expected" <<END
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/tolvar
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/tolvar/
-rw-r--r-- root/root ./usr/share/doc/tolvar/LICENSE
-rw-r--r-- root/root ./usr/share/doc/tolvar/README.md
-rw-r--r-- root/root ./usr/share/doc/tolvar/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tolvar/copyright
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/tolvar
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/tolvar.1.gz
drwxr-xr-x root/root ./usr/share/man/zh_CN/
drwxr-xr-x root/root ./usr/share/man/zh_CN/man1/
-rw-r--r-- root/root ./usr/share/man/zh_CN/man1/tolvar.1.gz
drwxr-xr-x root/root ./usr/share/tolvar/
-rw-r--r-- root/root ./usr/share/tolvar/GBK2py.inf
-rw-r--r-- root/root ./usr/share/tolvar/tolvar.cfg
END
diff "$scratch/contents.expected" "$scratch/contents" || fail "the package's files differ from the list above"

step "lintian"
lintian --fail-on error --display-info --pedantic --show-overrides "$deb" || fail "lintian reports an error"

step "installing the package"
installed && fail "tolvar is installed already"
# Its recommendation first, so that apt-get installs nothing but tolvar.
apt_get install texlive-binaries
list_files() { find /usr /etc /opt /var/lib/dpkg/info -xdev 2>/dev/null | sort; }
list_packages() { dpkg-query -W -f '${Package} ${Status}\n' | grep ' installed$' | sort; }
list_files >"$scratch/files.before"
list_packages >"$scratch/packages.before"
apt_get install "$deb"
list_packages >"$scratch/packages.installed"
[ "$(comm -13 "$scratch/packages.before" "$scratch/packages.installed")" = "tolvar install ok installed" ] ||
  fail "apt-get installed more than tolvar: $(comm -13 "$scratch/packages.before" "$scratch/packages.installed")"

[ "$(env -i PATH=/usr/bin:/bin sh -c 'command -v tolvar')" = /usr/bin/tolvar ] || fail "tolvar is not /usr/bin/tolvar"
banner=$(tolvar --version)
[[ $banner == "tolvar, version $version, "* ]] || fail "tolvar --version says: $banner"
zcat /usr/share/man/man1/tolvar.1.gz | grep -q "\"tolvar $version\"" || fail "the manual page does not name $version"
zcat /usr/share/man/zh_CN/man1/tolvar.1.gz | grep -q "\"tolvar $version\"" || fail "the Chinese manual page does not name $version"
if command -v man >/dev/null; then
  [ "$(man -w -L zh_CN tolvar)" = /usr/share/man/zh_CN/man1/tolvar.1.gz ] ||
    fail "man -L zh_CN tolvar finds $(man -w -L zh_CN tolvar), not the Chinese page"
  page_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -L zh_CN tolvar 2>&1 >/dev/null)
  [ -z "$page_warnings" ] || fail "man -L zh_CN tolvar warns: $page_warnings"
fi
convert_example "$scratch/deb" tolvar
cmp "$expected" "$scratch/deb/paper.bbl" || fail "the installed tolvar gives other bytes than $native"
step "the installed program gives the build tree's result"

apt_get remove tolvar
status=$(dpkg-query -W -f '${Status}' tolvar 2>/dev/null || true)
case $status in
  "" | *" not-installed") ;;
  *) fail "after apt-get remove, tolvar is still there as: $status" ;;
esac
list_files >"$scratch/files.after"
diff "$scratch/files.before" "$scratch/files.after" || fail "apt-get remove tolvar left files behind, or took others"
step "package installed, tried and removed"

#### The Windows zip

unzip -l "$zip"
unpacked="$scratch/my tools"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
folder="$unpacked/tolvar-$version-win64"
(cd "$folder" && find . -type f | sort) >"$scratch/zip.files"
printf './%s\n' GBK2py.inf LICENSE.txt README.txt README.zh-CN.txt tolvar-manual.txt tolvar.cfg tolvar.exe | sort >"$scratch/zip.expected"
diff "$scratch/zip.expected" "$scratch/zip.files" || fail "the zip's files differ from the list above"

cmp "$folder/GBK2py.inf" data/GBK2py.inf || fail "GBK2py.inf in the zip is not data/GBK2py.inf"
# Text files: CR LF line ends only, and otherwise the files of the source tree.
for pair in README.txt:README.md LICENSE.txt:LICENSE tolvar.cfg:examples/tolvar.cfg tolvar-manual.txt:; do
  text=$folder/${pair%%:*}
  only_crlf "$text" || fail "${pair%%:*} does not have CR LF line ends only"
  if [ -n "${pair#*:}" ]; then
    tr -d '\r' <"$text" | cmp -s - "${pair#*:}" || fail "${pair%%:*} is not ${pair#*:} with CR LF line ends"
  fi
done
# The Chinese guide: UTF-8 with a byte order mark, for Notepad, and CR LF.
guide=$folder/README.zh-CN.txt
only_crlf "$guide" || fail "README.zh-CN.txt does not have CR LF line ends only"
[ "$(head -c 3 "$guide" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.zh-CN.txt does not start with a UTF-8 byte order mark"
tail -c +4 "$guide" | tr -d '\r' | cmp -s - README.zh-CN.md || fail "README.zh-CN.txt is not README.zh-CN.md with a BOM and CR LF line ends"
manual=$folder/tolvar-manual.txt
grep -q "tolvar $version" "$manual" || fail "the manual does not name $version"
grep -q "GBK2py.inf" "$manual" && grep -q "笔画数+笔顺" "$manual" || fail "the manual lacks its text"
if LC_ALL=C grep -q $'[\b\e]' "$manual"; then fail "the manual has overstrikes or escape sequences"; fi

step "creating the wine prefix"
make_wine_prefix || fail "no wine prefix could be made"
# Only the Windows system folders on Path: the dictionary is found beside
# tolvar.exe or nowhere.
convert_example "$scratch/wine-work" wine "$folder/tolvar.exe"
windows=$scratch/wine-work/paper.bbl
only_crlf "$windows" || fail "the Windows result does not have CR LF line ends"
tr -d '\r' <"$windows" | cmp - "$expected" || fail "tolvar.exe from the zip gives other bytes than $native, line ends aside"
step "the zip's tolvar.exe gives the POSIX result"
echo "packages checked: $(du -k "$deb" | cut -f1) KB $(basename "$deb"), $(du -k "$zip" | cut -f1) KB $(basename "$zip")"
