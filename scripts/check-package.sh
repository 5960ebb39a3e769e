#!/usr/bin/env bash
# Builds the Debian package and checks it as a user's machine would see it:
# what it installs, the desktop entry and AppStream metainfo (validators),
# lintian (no errors), and, as root, an install with dpkg after which the
# programs run from the PATH. The package is purged again at the end, with
# any packages the install pulled in, so the machine is left as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
say() { echo "check-package: $* [$((SECONDS - start)) s]"; }
fail() { echo "check-package: FAILED: $*" >&2; exit 1; }

bash scripts/package.sh
debs=(build-package/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb in build-package/, found ${#debs[@]}"
deb=${debs[0]}
say "built $deb"

dpkg-deb --info "$deb"
echo "check-package: files the package installs:"
dpkg-deb --contents "$deb" | tee build-package/contents.txt
app_id=$(sed -n 's/^KV9_APP_ID:STRING=//p' build-package/CMakeCache.txt)
for f in usr/bin/kv9update usr/bin/kv9flash usr/bin/kv9sim \
         "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml" \
         "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
         usr/share/man/man1/kv9update.1.gz usr/share/man/man1/kv9flash.1.gz usr/share/man/man1/kv9sim.1.gz \
         usr/share/doc/kv9update/copyright usr/share/doc/kv9update/changelog.gz; do
  grep -q " \./$f\$" build-package/contents.txt || fail "the package lacks /$f"
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Depends does not name the Qt libraries"
say "contents complete"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb --extract "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$tree/usr/share/metainfo/$app_id.metainfo.xml"
say "desktop-file-validate and appstreamcli validate passed"
# The generated pages hold the options of the programs' --help; the pages of
# the two programs that open serial ports name the dialout group.
man1="$tree/usr/share/man/man1"
zgrep -q -- '-\\-port' "$man1/kv9flash.1.gz" || fail "kv9flash.1 lists no --port option"
zgrep -q -- '-\\-com' "$man1/kv9sim.1.gz" || fail "kv9sim.1 lists no --com option"
zgrep -q dialout "$man1/kv9flash.1.gz" || fail "kv9flash.1 does not name the dialout group"
zgrep -q dialout "$man1/kv9update.1.gz" || fail "kv9update.1 does not name the dialout group"
say "manual pages hold the options and the dialout note"

# lintian warns about running as root and about some tags we accept; only
# errors fail the check.
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | tee build-package/lintian.txt
say "lintian: $(grep -c '^E:' build-package/lintian.txt || true) errors, $(grep -c '^W:' build-package/lintian.txt || true) warnings"

if [ "$(id -u)" -ne 0 ]; then
  say "not root: install check skipped (CI runs it as root)"
  exit 0
fi
if dpkg-query -W -f='${Status}' kv9update 2>/dev/null | grep -q "install ok installed"; then
  fail "kv9update is already installed on this machine; the check would replace and purge it"
fi
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' | sed -n 's/^ii *//p' | sort; }
pulled=""
cleanup() {
  DEBIAN_FRONTEND=noninteractive dpkg --purge kv9update >/dev/null 2>&1 || true
  # shellcheck disable=SC2086
  if [ -n "$pulled" ]; then DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $pulled >/dev/null; fi
  rm -rf "$tree"
}
trap cleanup EXIT
if ! DEBIAN_FRONTEND=noninteractive dpkg -i "$deb"; then
  # Only what this step installs is purged again, never packages that
  # something else installed meanwhile.
  say "dpkg -i left dependencies missing; installing them"
  before=$(installed)
  DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq --no-install-recommends
  pulled=$(comm -13 <(echo "$before") <(installed) | grep -v '^kv9update:' || true)
fi
dpkg-query -W -f='${Status}' kv9update | grep -q "install ok installed" || fail "kv9update did not install"
for prog in kv9update kv9flash kv9sim; do
  [ "$(command -v $prog)" = "/usr/bin/$prog" ] || fail "$prog is not on the PATH from the package"
done
kv9flash --help
kv9sim --help >/dev/null
say "installed; kv9flash --help and kv9sim --help ran from the PATH"
cleanup
trap - EXIT
now=$(installed)
if grep -q '^kv9update:' <<<"$now"; then fail "kv9update is still installed after the purge"; fi
for p in $pulled; do
  if grep -qx "$p" <<<"$now"; then fail "$p, pulled in by the install, is still installed"; fi
done
say "purged again; check passed"
