#!/usr/bin/env bash
# The Debian package as a desk receives it: built by scripts/package from this build folder,
# checked by Debian's own tools, installed with apt-get, started by two throwaway ordinary users
# on a virtual display, then removed together with those users, also when a step fails.
#
#   test_package.sh SOURCE-DIR BUILD-DIR
#
# Needs root (CI runs as root); otherwise it says so and exits 77, which ctest reports as skipped.
set -euo pipefail
src=$1
build=$2
users=(zelkpkgtest zelkpkgtest2)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package and creating users need root; run the tests as root (as CI does) to check the .deb"
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli xvfb-run xdotool sqlcipher useradd; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
installed() { dpkg-query -W -f='${Status}' zelk 2>/dev/null | grep -q ' installed'; }
cleanup() {
  for u in "${users[@]}"; do userdel --remove --force "$u" 2>/dev/null || true; done
  # dpkg waits for no lock: another apt or dpkg run on the machine is waited out.
  if installed; then for _ in $(seq 120); do dpkg -r zelk && break; sleep 5; done; fi
  rm -rf "$tmp"
  for u in "${users[@]}"; do ! id -u "$u" >/dev/null 2>&1 || fail "the test user $u is still there"; done
  ! installed || fail "zelk is still installed"
}
tmp=$(mktemp -d)
# A test user left by an interrupted run marks that run's package too.
if id -u "${users[0]}" >/dev/null 2>&1; then cleanup; tmp=$(mktemp -d); fi
! installed || fail "zelk is installed on this machine: the test would replace and remove it"
trap cleanup EXIT

echo "== building the package"
deb=$("$src/scripts/package" "$build" "$tmp" | tail -n 1)
[ -f "$deb" ] || fail "scripts/package made no .deb"

echo "== contents of $(basename "$deb")"
list=$(dpkg-deb -c "$deb")
echo "$list"
expected="usr/bin/zelk usr/bin/zelkctl usr/share/zelk/report/fp3.frf usr/share/zelk/report/fp3-blank.png
  usr/share/zelk/help.chm usr/share/applications/com.velkor.zelk.desktop
  usr/share/metainfo/com.velkor.zelk.metainfo.xml usr/share/mime/packages/com.velkor.zelk.xml
  usr/share/icons/hicolor/scalable/apps/com.velkor.zelk.svg usr/share/doc/zelk/copyright
  usr/share/doc/zelk/changelog.gz usr/share/man/man1/zelk.1.gz usr/share/man/man1/zelkctl.1.gz"
for size in 16 32 48 64 128 256; do
  expected+=" usr/share/icons/hicolor/${size}x${size}/apps/com.velkor.zelk.png"
done
for path in $expected; do
  grep -q " \./$path\$" <<<"$list" || fail "$path is missing from the package"
done
! grep -qE 'zelk\.mdb|/test_' <<<"$list" || fail "files of the build tree in the package"
fields=$(dpkg-deb -f "$deb" Depends Recommends)
echo "$fields"
for word in libqt6widgets6 libsqlcipher0 qt6-qpa-plugins qt6-translations-l10n fonts-hanazono xchm xdg-utils; do
  grep -q "$word" <<<"$fields" || fail "$word is not among the dependencies"
done

echo "== lintian, desktop-file-validate, appstreamcli validate"
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" || fail "lintian reports errors"
dpkg-deb -x "$deb" "$tmp/root"
desktop-file-validate "$tmp/root/usr/share/applications/com.velkor.zelk.desktop" ||
  fail "the desktop entry is not valid"
appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/com.velkor.zelk.metainfo.xml" ||
  fail "the metainfo is not valid"

echo "== installing"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "$deb"
grep -q 'application/x-zelk-prepared-report:\*\.zrp' /usr/share/mime/globs2 ||
  fail "the desktop does not know *.zrp files"

key=$(sed -n 's/.*databaseKey = "\(.*\)";/\1/p' "$src/src/data/connection.h")
home() { getent passwd "$1" | cut -d: -f6; }
# Starts the installed program as user $1 as the menu does; done once its main window is shown.
start() {
  (cd / && runuser -u "$1" -- env -i HOME="$(home "$1")" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    timeout 120 xvfb-run -a -s '-screen 0 1280x800x24' sh -c '/usr/bin/zelk & z=$!
      timeout 60 xdotool search --sync --onlyvisible --name "^Velkor" >/dev/null; s=$?
      kill $z; wait $z; exit $s') || fail "the main window did not appear for $1"
}
# Runs SQL on user $1's database with the program's key and page size, as that user.
query() {
  runuser -u "$1" -- sqlcipher "$(home "$1")/.local/share/zelk/Data/zelk.mdb" \
    "PRAGMA key='$key'; PRAGMA cipher_page_size=4096; $2"
}

for u in "${users[@]}"; do
  echo "== first start as $u"
  useradd --create-home --shell /bin/sh "$u"
  start "$u"
  data=$(home "$u")/.local/share/zelk
  [ "$(stat -c %U "$data/Data/zelk.mdb")" = "$u" ] || fail "$u does not own $data/Data/zelk.mdb"
  [ "$(query "$u" 'select count(*) from SysSet;')" = 4 ] ||
    fail "$u's database does not open with the program's key or lacks the default settings"
  for f in fp3.frf fp3-blank.png; do
    cmp "$data/report/$f" "/usr/share/zelk/report/$f" || fail "$f was not copied for $u"
  done
done

echo "== a second start keeps the user's own receipt and template"
u=${users[0]}
data=$(home "$u")/.local/share/zelk
query "$u" "insert into fpmain (fphm) values ('PKG1');"
runuser -u "$u" -- sh -c "echo '{}' > '$data/report/fp3.frf'"
start "$u"
[ "$(query "$u" 'select fphm from fpmain;')" = PKG1 ] || fail "the second start changed the database"
[ "$(cat "$data/report/fp3.frf")" = '{}' ] || fail "the second start overwrote the user's template"
[ "$(query "${users[1]}" 'select count(*) from fpmain;')" = 0 ] ||
  fail "the second user sees the first user's receipt"
echo "PASS: the package builds, validates, installs, starts for two users and is removed again"
