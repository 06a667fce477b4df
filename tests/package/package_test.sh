#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds, then
# installs, upgrades, removes and purges it in a throwaway root (dpkg --root,
# maintainer scripts run without chroot against $DPKG_ROOT); never in /.
#   package_test.sh BUILD_DIR
# Exit status 77 (skipped) without dpkg, cpack or root.
set -euo pipefail

build=${1:?usage: package_test.sh BUILD_DIR}
for tool in cpack dpkg dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: the maintainer scripts make root-owned folders"; exit 77; }
[ -d "$build/man" ] || { echo "skipped: no man pages in this build (scdoc missing)"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect() { # expect WHAT COMMAND...: the command must succeed
  local what=$1; shift
  "$@" >/dev/null 2>&1 || fail "$what"
}

# --- The package: control data and file list --------------------------------
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip -D CPACK_STRIP_FILES=OFF >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/vzrmaud_*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

[ "$(dpkg-deb -f "$deb" Package)" = vzrmaud ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libsqlite3-0 libsodium23 libqt6widgets6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib (from dpkg-shlibdeps): $depends"
done
dpkg-deb -e "$deb" "$work/control"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] || fail "maintainer script $script missing or not executable"
done
[ "$(cat "$work/control/conffiles")" = /etc/default/vzrmaud ] || fail "conffiles"

dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' >"$work/files"
want=(./usr/bin/vzrmaud ./usr/bin/vzrmlog ./usr/bin/vzrmreg ./usr/lib/vzrmaud/evtxgen
      ./usr/lib/vzrmaud/evtgen
      ./usr/share/vzrmaud/installation.reg.in ./usr/share/vzrmaud/system32/security.mc
      ./usr/share/vzrmaud/system32/auditing.mc ./usr/share/vzrmaud/system32/parameters.mc
      ./usr/share/man/man1/vzrmaud.1.gz ./usr/share/man/man1/vzrmlog.1.gz
      ./usr/share/man/man1/vzrmreg.1.gz ./usr/share/applications/vzrmaud.desktop
      ./usr/share/doc/vzrmaud/copyright ./usr/share/lintian/overrides/vzrmaud ./lib/systemd/system/vzrmaud.service
      ./lib/systemd/system/vzrmaud.timer ./etc/default/vzrmaud
      ./usr/share/icons/hicolor/scalable/apps/vzrmaud.svg
      ./usr/share/icons/hicolor/48x48/apps/vzrmaud.png ./usr/share/vzrmaud/help/index.html)
for path in "${want[@]}"; do
  grep -q " $path\$" "$work/files" || fail "the package lacks $path"
done
grep -q '^-rwxr-xr-x root/root ./usr/bin/vzrmaud$' "$work/files" || fail "mode of /usr/bin/vzrmaud"
grep -q '^-rw-r--r-- root/root ./etc/default/vzrmaud$' "$work/files" || fail "mode of /etc/default/vzrmaud"
outside=$(awk '{print $3}' "$work/files" | grep -Ev '^\./(usr|etc|lib)(/|$)|^\./$' || true)
[ -z "$outside" ] || fail "files outside /usr, /etc, /lib: $outside"
# The machine's state is made by the post-install step, not shipped.
! grep -q ' ./var/' "$work/files" || fail "the package ships files in /var"

# The units as systemd reads them, pointed at the package's own files.
if command -v systemd-analyze >/dev/null; then
  dpkg-deb -x "$deb" "$work/extracted"
  mkdir "$work/units"
  for unit in vzrmaud.service vzrmaud.timer; do
    sed -e "s|/usr/bin/|$work/extracted/usr/bin/|" -e "s|/etc/default/|$work/extracted/etc/default/|" \
      "$work/extracted/lib/systemd/system/$unit" >"$work/units/$unit"
  done
  systemd-analyze verify --man=no "$work/units/vzrmaud.service" "$work/units/vzrmaud.timer" ||
    fail "systemd-analyze verify"
  grep -q '^WantedBy=timers.target$' "$work/units/vzrmaud.timer" || fail "the timer's install target"
  grep -q '^VZRM_REPORTS=/' "$work/extracted/etc/default/vzrmaud" || fail "the reports folder setting"
fi

# --- Install into a throwaway root --------------------------------------------
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
pkg() { dpkg --root="$root" --force-script-chrootless --force-depends --force-not-root "$@" \
          >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }; }
state=$root/var/lib/vzrmaud
reg() { VZRM_REGISTRY_DIR='' VZRM_MACHINE_REGISTRY_DIR=$state XDG_CONFIG_HOME=$work/config \
          "$root/usr/bin/vzrmreg" "$@"; }
value() { reg query "$1" /v "$2" | awk -v n="$2" '$1 == n {print $3}'; }
base='HKLM\Software\Quorvix\VelmoraZRMAuditor'
log_key='HKLM\SYSTEM\CurrentControlSet\Services\Eventlog\Security'

pkg -i "$deb"
mode() { stat -c '%U %a %F' "$1"; }
[ "$(mode "$state")" = "root 755 directory" ] || fail "/var/lib/vzrmaud: $(mode "$state")"
[ "$(mode "$state/HKLM.db")" = "root 644 regular file" ] || fail "HKLM.db: $(mode "$state/HKLM.db")"
[ "$(mode "$state/locks")" = "root 755 directory" ] || fail "locks: $(mode "$state/locks")"
lock=$state/locks/Quorvix_ZRMAU_MutexGlobal.lock
[ "$(mode "$lock")" = "root 644 regular empty file" ] || fail "lock file: $(mode "$lock")"
[ "$(mode "$state/reports")" = "root 755 directory" ] || fail "reports: $(mode "$state/reports")"
[ "$(mode "$state/seal.key")" = "root 600 regular file" ] || fail "seal.key: $(mode "$state/seal.key")"
[ "$(mode "$state/seal.pub")" = "root 644 regular file" ] || fail "seal.pub: $(mode "$state/seal.pub")"
fingerprint=$(VZRM_REGISTRY_DIR='' VZRM_MACHINE_REGISTRY_DIR=$state XDG_CONFIG_HOME=$work/config \
  "$root/usr/bin/vzrmlog" key)
[ "$(value "$base" Path)" = /usr/bin ] || fail "Path of the installation record"
[ "$(value "$base\\ProductVersion" NumbBuild)" = 0x19e ] || fail "NumbBuild"
[ "$(value "$base\\ProductVersion" CommonReg)" = 0x1 ] || fail "CommonReg default"
[ "$(value "$base\\ProductVersion" CommonSet)" = 0x0 ] || fail "CommonSet default"
[ "$(value "$base\\ProductVersion" SetAccess)" = 0x1 ] || fail "SetAccess default"
installed=$(value "$base" InstDateLastVer)
[ "${installed:0:4}" = "$(printf '%02X%02X' $(( $(date -u +%Y) % 256 )) $(( $(date -u +%Y) / 256 )))" ] ||
  fail "InstDateLastVer is not this year's: $installed"
[ "$(value "$log_key" File)" = /var/lib/vzrmaud/Security.evtx ] || fail "the Security log's File"

# --- An upgrade keeps what the machine chose ------------------------------------
old_date=EA07030006000E000800000000000000  # 2026-03-14 08:00:00
expect "set an old install date" reg add "$base" /v InstDateLastVer /t REG_BINARY /d "$old_date" /f
expect "set CommonSet" reg add "$base\\ProductVersion" /v CommonSet /t REG_DWORD /d 1 /f
expect "set the log file" reg add "$log_key" /v File /t REG_EXPAND_SZ /d /srv/logs/Security.evtx /f
options="$base\\Profiles\\999999\\Options"
expect "store a run's date" reg add "$options" /v LastDateProc /t REG_BINARY /d "$old_date" /f
expect "forget NumbBuild" reg delete "$base\\ProductVersion" /v NumbBuild /f

dpkg-deb -R "$deb" "$work/rebuilt"
sed -i 's/^Version: .*/&.1/' "$work/rebuilt/DEBIAN/control"
dpkg-deb -Znone -b "$work/rebuilt" "$work/rebuilt.deb" >/dev/null
pkg -i "$work/rebuilt.deb"
[ "$(value "$base" InstDateLastVer)" = "$old_date" ] || fail "the upgrade changed the install date"
[ "$(value "$base\\ProductVersion" CommonSet)" = 0x1 ] || fail "the upgrade reset CommonSet"
[ "$(value "$log_key" File)" = /srv/logs/Security.evtx ] || fail "the upgrade reset the log file"
[ "$(value "$options" LastDateProc)" = "$old_date" ] || fail "the upgrade lost LastDateProc"
[ "$(value "$base\\ProductVersion" NumbBuild)" = 0x19e ] || fail "the upgrade did not write the version"
[ "$(VZRM_REGISTRY_DIR='' VZRM_MACHINE_REGISTRY_DIR=$state XDG_CONFIG_HOME=$work/config \
  "$root/usr/bin/vzrmlog" key)" = "$fingerprint" ] || fail "the upgrade changed the seal key"

# --- Remove keeps the machine's state, purge removes it -------------------------
pkg -r vzrmaud
[ ! -e "$root/usr/bin/vzrmaud" ] || fail "remove left the program"
[ -f "$state/HKLM.db" ] || fail "remove deleted the machine hive"
[ -f "$root/etc/default/vzrmaud" ] || fail "remove deleted the settings file"
# A report in the default reports folder outlives the purge; without one
# nothing of the package is left.
printf 'Start of processing: 2026-03-14 08:00:00\r\n' >"$state/reports/ZRMAudit_kept.csv"
pkg -P vzrmaud
[ -f "$state/reports/ZRMAudit_kept.csv" ] || fail "purge deleted a report"
[ -f "$state/seal.pub" ] && [ -f "$state/seal.key" ] || fail "purge deleted the seal key of kept reports"
[ -z "$(ls -A "$state" | grep -Ev '^(reports|seal\.key|seal\.pub)$')" ] ||
  fail "purge left the store: $(ls -A "$state")"
rm -rf "$state"
pkg -i "$deb"
pkg -P vzrmaud
[ ! -e "$state" ] || fail "purge left /var/lib/vzrmaud"
[ ! -e "$root/etc/default/vzrmaud" ] || fail "purge left /etc/default/vzrmaud"
left=$(find "$root/usr" "$root/lib" "$root/etc" -mindepth 1 2>/dev/null | head -5 || true)
[ -z "$left" ] || fail "purge left files: $left"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package, install, upgrade, remove and purge checked"
