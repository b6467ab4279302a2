#!/bin/sh
# Checks the installed tree and desktop files, and the .deb and lintian when dpkg-deb is there.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
app=$work/usr/share/applications/tavril.desktop

cmake --install "$1" --prefix "$work/usr" > /dev/null || fail "install"
for f in bin/tavril share/tavril/translations/lang_zh_CN.qm share/applications/tavril.desktop \
    share/metainfo/org.example.tavril.metainfo.xml share/icons/hicolor/scalable/apps/tavril.svg \
    share/doc/tavril/copyright share/man/man1/tavril.1.gz; do
    test -s "$work/usr/$f" || fail "missing $f"
done
for size in 16 22 24 32 48 64 128 256; do
    # The PNG header's width field, bytes 17 to 20 (empty without the icon).
    width=$(od -An -tu1 -j16 -N4 "$work/usr/share/icons/hicolor/${size}x${size}/apps/tavril.png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4}')
    test "$width" = "$size" || fail "${size}px icon missing or $width wide"
done
grep -q '^Exec=tavril %f$' "$app" || fail "Exec line"
grep -q '^MimeType=text/plain;$' "$app" || fail "MimeType line"
desktop-file-validate "$app" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/usr/share/metainfo/org.example.tavril.metainfo.xml" || fail "appstreamcli"
# The manual names every command the reader knows.
for name in $("$work/usr/bin/tavril" --help | sed -n 's/^  \([a-z-]*\) .*/\1/p'); do
    gzip -dc "$work/usr/share/man/man1/tavril.1.gz" | grep -q "$name" || fail "the manual does not name $name"
done

if command -v dpkg-deb > /dev/null && command -v dpkg-shlibdeps > /dev/null; then
    (cd "$1" && cpack -G DEB -B "$work/deb" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(ls "$work"/deb/tavril_*.deb) || fail "no .deb"
    dpkg-deb -c "$deb" > "$work/contents"
    for f in ./usr/bin/tavril ./usr/share/tavril/translations/lang_zh_CN.qm ./usr/share/applications/tavril.desktop \
        ./usr/share/icons/hicolor/48x48/apps/tavril.png ./usr/share/doc/tavril/copyright; do
        grep -q " $f\$" "$work/contents" || fail "$f not in the package"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in fonts-noto-cjk qttranslations5-l10n libqt5widgets5; do # the font, Qt's translations, the libraries
        echo "$depends" | grep -q $d || fail "no dependency on $d: $depends"
    done
    dpkg-deb -f "$deb" Recommends | grep -q qtwayland5 || fail "qtwayland5 not recommended"
    command -v lintian > /dev/null && lintian "$deb" > "$work/lintian" 2>&1
    grep -qs '^E:' "$work/lintian" && { cat "$work/lintian"; fail "lintian errors"; }
fi
echo ok
