#!/usr/bin/env bash
# Builds the Debian package and checks it as an installed system would see
# it: lintian, the desktop entry and AppStream metadata, both programs run
# from the unpacked package, and the manual pages render without warnings.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/package.sh"
deb="$(realpath "$here"/../build-release/quillan_*.deb)"
version="$(dpkg-deb -f "$deb" Version)"
app_id=io.github.quillan.Quillan
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }

echo "== $(basename "$deb")"
# (Read into variables first: grep -q ending a pipe early would fail it.)
depends="$(dpkg-deb -f "$deb" Depends)"
info="$(dpkg-deb -I "$deb")"
grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks the Qt libraries"
grep -q libhidapi <<<"$depends" || fail "Depends lacks hidapi"
grep -q ' postinst ' <<<"$info" || fail "no postinst"
grep -q ' postrm ' <<<"$info" || fail "no postrm"

echo "== lintian"
status=0
report="$(lintian --fail-on error,warning "$deb" 2>&1)" || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"

dpkg-deb -x "$deb" "$root"
for file in usr/bin/quillan usr/bin/quillan-cli usr/lib/udev/rules.d/70-quillan.rules \
            usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/$app_id.svg \
            usr/share/icons/hicolor/256x256/apps/$app_id.png \
            usr/share/icons/hicolor/16x16/apps/$app_id.png \
            usr/share/man/man1/quillan.1.gz usr/share/man/man1/quillan-cli.1.gz \
            usr/share/bash-completion/completions/quillan-cli \
            usr/share/doc/quillan/copyright usr/share/doc/quillan/changelog.gz; do
  [ -e "$root/$file" ] || fail "missing /$file"
done

echo "== desktop entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
bash -n "$root/usr/share/bash-completion/completions/quillan-cli"

echo "== programs from the unpacked package"
for program in quillan quillan-cli; do
  if ldd "$root/usr/bin/$program" | grep 'not found'; then fail "$program lacks libraries"; fi
done
got="$("$root/usr/bin/quillan-cli" --version)"
[ "$got" = "quillan-cli $version" ] || fail "quillan-cli --version printed \"$got\""
got="$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quillan" --version)"
[ "$got" = "Quillan $version" ] || fail "quillan --version printed \"$got\""
echo "$got"

echo "== manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "package-check: all checks passed"
