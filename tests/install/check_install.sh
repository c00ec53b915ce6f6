#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Installs the build into a scratch root as a package would, and checks what the desktop relies
# on: every file in its place, the icon bitmaps at their nominal sizes, one application id across
# the desktop entry, the metainfo, the icon and the program, and a manual page that renders
# without warnings and names every option the program knows.
#   check_install.sh BUILD_DIR APP_ID VERSION "SIZE SIZE ..."
set -euo pipefail
build=$1 appid=$2 version=$3
IFS=' ;' read -r -a sizes <<< "$4"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
share=$root/usr/share
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected=(
    "$root/usr/bin/tunebrowse"
    "$share/applications/$appid.desktop"
    "$share/metainfo/$appid.metainfo.xml"
    "$share/icons/hicolor/scalable/apps/$appid.svg"
    "$share/man/man1/tunebrowse.1.gz"
    "$share/doc/tunebrowse/copyright"
    "$share/doc/tunebrowse/changelog.gz"
)
for size in "${sizes[@]}"; do
    expected+=("$share/icons/hicolor/${size}x${size}/apps/$appid.png")
done
for file in "${expected[@]}"; do
    [ -s "$file" ] || fail "missing or empty: ${file#"$root"}"
done
[ -x "$root/usr/bin/tunebrowse" ] || fail "the program is not executable"

# A PNG's width and height are the big-endian words at bytes 16 and 20 of its header.
for size in "${sizes[@]}"; do
    png=$share/icons/hicolor/${size}x${size}/apps/$appid.png
    [ -s "$png" ] || continue
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
    height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
        fail "${size}x${size} icon is ${width}x${height}"
done

desktop=$share/applications/$appid.desktop
metainfo=$share/metainfo/$appid.metainfo.xml
grep -qx "Icon=$appid" "$desktop" || fail "the desktop entry's icon is not $appid"
grep -qx "Exec=tunebrowse %f" "$desktop" || fail "the desktop entry does not start tunebrowse %f"
grep -qx "MimeType=inode/directory;" "$desktop" || fail "the desktop entry does not open folders"
grep -q "<id>$appid</id>" "$metainfo" || fail "the metainfo's id is not $appid"
grep -q "<launchable type=\"desktop-id\">$appid.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $appid.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release notes for $version"
# The window tells the desktop which entry it belongs to by this id, held as a UTF-16 literal.
# grep reads to the end: with -q it would stop at the match and strings die of SIGPIPE, which
# pipefail takes for a failure.
strings -el "$root/usr/bin/tunebrowse" | grep -xF "$appid" > /dev/null ||
    fail "the program does not carry the id $appid"

version_line=$("$root/usr/bin/tunebrowse" --version | head -1)
[ "$version_line" = "tunebrowse $version" ] || fail "--version printed '$version_line'"

man=$root/man.txt
zcat "$share/man/man1/tunebrowse.1.gz" > "$root/tunebrowse.1"
if command -v groff > /dev/null; then
    warnings=$(groff -man -ww -z -Tutf8 "$root/tunebrowse.1" 2>&1 || true)
    [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
fi
grep -q "Tunebrowse $version" "$root/tunebrowse.1" || fail "the manual page is not for $version"
grep -qF 'Quillon Softs/Tunebrowse.conf' "$root/tunebrowse.1" ||
    fail "the manual page does not tell where the settings live"
# Every option of --help, in the page; the page spells a dash as \-.
sed 's/\\-/-/g' "$root/tunebrowse.1" > "$man"
for option in $("$root/usr/bin/tunebrowse" --help | grep -o -- '--[a-z-]*' | sort -u); do
    [ "$option" = "--" ] && continue
    grep -qF -- "$option" "$man" || fail "the manual page lacks $option"
done

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "install tree: ${#expected[@]} files checked"
