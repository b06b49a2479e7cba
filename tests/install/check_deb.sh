#!/usr/bin/env bash
# Builds the Debian package and checks what a packager looks for: stripped programs, the copyright
# file, the README, the manual with its pictures, the declared dependencies and the maintainer line
# the build was configured with.
#   check_deb.sh BUILD
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
build=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/velloran_*.deb)
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/velloran usr/bin/velra-script usr/bin/velra-script-preview usr/share/doc/velloran/copyright usr/share/doc/velloran/README.md \
    usr/share/doc/velloran/manual/index.html usr/share/doc/velloran/manual/pages/form1.png \
    usr/share/applications/velloran.desktop usr/share/mime/packages/velloran.xml; do
    [ -e "$work/root/$f" ] || { echo "the package lacks /$f"; exit 1; }
done
for program in velloran velra-script velra-script-preview; do
    if readelf -S "$work/root/usr/bin/$program" | grep -q '\.symtab'; then
        echo "/usr/bin/$program is not stripped"; exit 1
    fi
done
control=$(dpkg-deb -f "$deb")
contact=$(sed -n 's/^VELRA_PACKAGE_CONTACT:STRING=//p' "$build/CMakeCache.txt")
grep -qxF "Maintainer: $contact" <<<"$control" || { echo "the maintainer line is not \"$contact\""; exit 1; }
grep -q '^Maintainer: .*<.*@.*>' <<<"$control" || { echo "no maintainer address"; exit 1; }
grep -q '^Depends: .*qt6-translations-l10n' <<<"$control" || { echo "Qt's translations are not a dependency"; exit 1; }
for lib in libwebp7 libwebpmux3 libgif7; do
    grep -q "^Depends: .*$lib" <<<"$control" || { echo "$lib (the animation export) is not a dependency"; exit 1; }
done
# The copyright file in Debian's machine-readable format, the program under the MIT (Expat) licence.
copyright=$work/root/usr/share/doc/velloran/copyright
head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
    || { echo "the copyright file is not in the machine-readable format"; exit 1; }
grep -q '^License: Expat$' "$copyright" || { echo "the copyright file does not say MIT (Expat)"; exit 1; }
! grep -qi 'all rights reserved' "$copyright" || { echo "the copyright file still reserves all rights"; exit 1; }
perl "$here/../docs/check_manual.pl" "$here/../.." "$work/root/usr/share/doc/velloran/manual"
echo "$(basename "$deb"): stripped, with copyright, README and manual"
