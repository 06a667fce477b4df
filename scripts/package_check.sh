#!/usr/bin/env bash
# Checks the Debian package on a machine that may be changed (it installs and
# purges the package with apt; not part of the test command): builds it,
# lints it, installs it, runs one report as an ordinary user on a generated
# log, checks the units, upgrades to a rebuilt package, purges it and checks
# that nothing is left. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "package_check.sh: run as root" >&2; exit 1; }

step() { printf '\n== %s\n' "$*"; }
die() { echo "package_check.sh: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

step "build the package"
bash scripts/bootstrap.sh
deb=$(bash scripts/package.sh 1)
echo "$deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Package Version Depends

step "lintian"
command -v lintian >/dev/null || apt-get install -y -qq lintian >/dev/null
# Two warnings stand: the package closes no Debian bug, and prerm stops the
# timer with systemctl where a Debian upload would use deb-systemd-invoke.
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs,maintainer-script-calls-systemctl "$deb" ||
  die "lintian found errors or warnings"

step "install with apt"
if dpkg-query -W -f='${Status}' vzrmaud 2>/dev/null | grep -q 'ok installed'; then
  die "vzrmaud is installed already; this check starts from a machine without it"
fi
apt-get install -y -qq "$deb" >/dev/null
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
dpkg -L vzrmaud >"$files/list"
grep -qx /usr/libexec/vzrmaud-window "$files/list" || die "the window's program is not in the package"
if ldd /usr/bin/vzrmaud | grep -q libQt; then
  die "vzrmaud loads Qt: an unattended start would spend most of its time on it"
fi
stat -c '%U %a %n' /var/lib/vzrmaud /var/lib/vzrmaud/HKLM.db /var/lib/vzrmaud/locks \
  /var/lib/vzrmaud/locks/Quorvix_ZRMAU_MutexGlobal.lock /var/lib/vzrmaud/seal.key \
  /var/lib/vzrmaud/seal.pub
[ "$(stat -c '%U %a' /var/lib/vzrmaud/seal.key)" = "root 600" ] || die "the machine's seal key is not root's 0600"
[ "$(stat -c '%U %a' /var/lib/vzrmaud/seal.pub)" = "root 644" ] || die "the machine's public seal key is not 0644"
echo "machine seal key: $(vzrmlog key)"
vzrmreg query 'HKLM\Software\Quorvix\VelmoraZRMAuditor' /s
vzrmreg query 'HKLM\SYSTEM\CurrentControlSet\Services\Eventlog\Security' /v File

step "one report as an ordinary user (nobody) on a generated log"
user=$(mktemp -d)
chmod 0755 "$user"
install -d -o nobody -g nogroup -m 0700 "$user/config" "$user/runtime" "$user/reports"
/usr/lib/vzrmaud/evtxgen resources/sample/security-site.jsonl "$user/Security.evtx" >/dev/null
chmod 0644 "$user/Security.evtx"
as_user() {
  runuser -u nobody -- env -u VZRM_REGISTRY_DIR -u VZRM_LOCK_DIR -u DISPLAY -u WAYLAND_DISPLAY \
    XDG_CONFIG_HOME="$user/config" XDG_RUNTIME_DIR="$user/runtime" \
    VZRM_SECURITY_LOG="$user/Security.evtx" VZRM_APPLICATION_LOG="$user/reports/application.log" "$@"
}
status=0
as_user vzrmaud -c -rf "$user/reports" || status=$?
[ "$status" -eq 0 ] || { cat "$user/reports/application.log" 2>/dev/null; die "report run: $status"; }
report=$(ls "$user"/reports/ZRMAudit_*.csv)
echo "report: $(wc -l <"$report") lines"; head -n 3 "$report"
echo "summary:"; cat "$user/reports/_ZRMAudit_summary.txt"
[ "$(wc -l <"$report")" -gt 1 ] || die "the report has no rows"
[ "$(stat -c '%U %a' "$user/config/vzrmaud/seal.key")" = "nobody 600" ] ||
  die "the user's seal key is not theirs, 0600"
as_user vzrmlog verify "$user/reports" || die "the user's sealed reports do not verify"
user_hive() {
  VZRM_REGISTRY_DIR='' XDG_CONFIG_HOME="$user/config" runuser -u nobody -- \
    env XDG_CONFIG_HOME="$user/config" vzrmreg query 'HKCU\Software\Quorvix\VelmoraZRMAuditor' /s
}
user_hive | grep LastDate | tee "$files/dates-before"
vzrmreg query 'HKLM\Software\Quorvix\VelmoraZRMAuditor' /v InstDateLastVer | tee "$files/install-before"

step "the systemd units"
if [ -d /run/systemd/system ]; then
  systemctl daemon-reload
  echo "vzrmaud.timer: $(systemctl is-enabled vzrmaud.timer || true)"
  cp "$user/Security.evtx" /var/lib/vzrmaud/Security.evtx
  systemctl start vzrmaud.service || die "vzrmaud.service failed"
  journalctl -u vzrmaud.service -n 20 --no-pager
  ls /var/lib/vzrmaud/reports
elif command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /lib/systemd/system/vzrmaud.service /lib/systemd/system/vzrmaud.timer
  echo "units verified (systemd does not run here)"
else
  echo "neither systemd nor systemd-analyze here: units not checked"
fi

step "upgrade to a rebuilt package"
rebuilt=$(bash scripts/package.sh 2)
apt-get install -y -qq "$rebuilt" >/dev/null
dpkg-query -W vzrmaud
user_hive | grep LastDate >"$files/dates-after"
vzrmreg query 'HKLM\Software\Quorvix\VelmoraZRMAuditor' /v InstDateLastVer >"$files/install-after"
cmp "$files/dates-before" "$files/dates-after" || die "the upgrade changed the stored dates"
cmp "$files/install-before" "$files/install-after" || die "the upgrade changed the install date"
echo "stored dates and install date kept"

step "purge"
apt-get purge -y -qq vzrmaud >/dev/null
leftovers() {
  local path
  while read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then echo "$path"; fi
  done <"$files/list"
  if [ -e /var/lib/vzrmaud ]; then echo /var/lib/vzrmaud; fi
}
left=$(leftovers)
[ -z "$left" ] || die "left after purge: $left"
rm -rf "$user"
echo "nothing left under /usr, /etc or /var/lib"
bash scripts/package.sh 1 >/dev/null  # the release build back at revision 1
