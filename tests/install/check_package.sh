#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Builds the Debian package from the build folder, checks its control data and contents, unpacks
# it into a scratch root and runs the program from there. Lintian, where installed, must find no
# error; its warnings are printed.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$work/out/tunebrowse_${version}_${arch}.deb
[ -s "$deb" ] || { cat "$work/cpack.log"; ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tunebrowse ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version $(field Version)"
depends=$(field Depends)
# Found by dpkg-shlibdeps from the program's links, and the icon engine it loads as a plugin.
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libglib2.0-0 libc6 libqt6svg6; do
    grep -qE "(^|, )$needed( |,|$)" <<< "$depends" || fail "Depends lacks $needed: $depends"
done

dpkg-deb --contents "$deb" | awk '{print $NF}' > "$work/contents"
for path in ./usr/bin/tunebrowse ./usr/share/applications/ ./usr/share/metainfo/ \
    ./usr/share/icons/hicolor/scalable/apps/ ./usr/share/icons/hicolor/256x256/apps/ \
    ./usr/share/man/man1/tunebrowse.1.gz ./usr/share/doc/tunebrowse/copyright; do
    grep -qF -- "$path" "$work/contents" || fail "the package lacks $path"
done
if grep -qvE '^\./usr/' "$work/contents"; then
    fail "files outside /usr: $(grep -vE '^\./usr/' "$work/contents" | grep -v '^\./$' | head -3)"
fi
# Ownership: a package built as an ordinary user must still install files owned by root.
if dpkg-deb --contents "$deb" | awk '{print $2}' | grep -qv '^root/root$'; then
    fail "files not owned by root/root"
fi

dpkg -x "$deb" "$work/root"
exe=$work/root/usr/bin/tunebrowse
output=$("$exe" --version | head -1)
[ "$output" = "tunebrowse $version" ] || fail "the packaged program's --version printed '$output'"
"$exe" --version | grep -qF "License GPL-3.0-or-later" || fail "--version names no licence"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tunebrowse/copyright |
    grep -qx "License: GPL-3.0-or-later" || fail "the copyright file names no GPL-3.0-or-later"
mkdir "$work/empty"
output=$(XDG_CONFIG_HOME=$work/config "$exe" --list "$work/empty") ||
    fail "the packaged program's --list failed"
[ -z "$output" ] || fail "--list of an empty folder printed '$output'"
if readelf -S "$exe" | grep -qF .symtab; then
    fail "the packaged program is not stripped"
fi

if command -v lintian > /dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1 ||
        fail "lintian found errors"
    cat "$work/lintian.log"
else
    echo "lintian not installed: the package was not linted"
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "package $(basename "$deb"): $(wc -l < "$work/contents") entries, Depends: $depends"
