#!/usr/bin/env bash
# The daily run's unit: its exposure as systemd rates it offline, and the run
# it starts working with the unit's view of the file system (everything
# read-only but the paths the unit names writable), in a mount namespace of
# its own, without systemd.
#   unit_sandbox_test.sh BUILD_DIR SOURCE_DIR
# Exit status 77 (skipped) without root or unshare.
set -euo pipefail

build=${1:?usage: unit_sandbox_test.sh BUILD_DIR SOURCE_DIR}
source=${2:?usage: unit_sandbox_test.sh BUILD_DIR SOURCE_DIR}
unit=$source/resources/systemd/vzrmaud.service
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# --- The unit's exposure, rated offline -----------------------------------------
if command -v systemd-analyze >/dev/null; then
  rating=$(systemd-analyze security --offline=true "$unit" 2>&1 | sed -n 's/.*exposure level for vzrmaud.service: \([0-9.]*\).*/\1/p')
  [ -n "$rating" ] || fail "no exposure level from systemd-analyze"
  awk -v r="${rating:-10}" 'BEGIN { exit !(r <= 4.0) }' || fail "exposure $rating is above 4.0"
  echo "exposure level: $rating"
else
  echo "systemd-analyze is not installed: the exposure is not rated"
fi

# --- The run with the unit's view of the file system ----------------------------
[ "$(id -u)" -eq 0 ] || { echo "skipped: mount namespaces need root"; exit 77; }
command -v unshare >/dev/null || { echo "skipped: unshare is not installed"; exit 77; }
grep -q '^ProtectSystem=strict$' "$unit" || fail "ProtectSystem=strict"
grep -q '^ProtectHome=read-only$' "$unit" || fail "ProtectHome=read-only"
# The paths the unit makes writable and the commands it runs first, as it names
# them: the run below gets nothing else, not even a variable of the tests'.
writable=$(sed -n 's/^ReadWritePaths=//p' "$unit" | tr -d '-')
pre=$(sed -n 's/^ExecStartPre=+//p' "$unit")
reports=$(sed -n 's/^VZRM_REPORTS=//p' "$source/resources/systemd/vzrmaud.default")
[ -n "$writable" ] && [ -n "$reports" ] || fail "no ReadWritePaths or VZRM_REPORTS"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# /var/lib/vzrmaud as the installation leaves it, placed over the real one
# inside the namespace only.
state=$work/var-lib-vzrmaud
mkdir -p "$state/reports" "$state/locks" "$work/log"
install -m 0644 /dev/null "$state/locks/Quorvix_ZRMAU_MutexGlobal.lock"
# The programs as installed, so that they find their message files.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
bin=$work/prefix/bin
sed -e "s|@INSTALL_DIR@|$bin|g" -e "s|@INSTALL_DATE@|ea,07,03,00,06,00,0e,00,08,00,00,00,00,00,00,00|" \
    -e "s|@COMMON_REG@|00000001|" -e "s|@COMMON_SET@|00000000|" -e "s|@SET_ACCESS@|00000001|" \
    "$source/resources/install/installation.reg.in" >"$work/record.reg"
VZRM_REGISTRY_DIR='' VZRM_MACHINE_REGISTRY_DIR=$state XDG_CONFIG_HOME=$work/scratch \
  "$bin/vzrmreg" import "$work/record.reg" >/dev/null || fail "import of the installation record"
"$work/prefix/lib/vzrmaud/evtxgen" "$source/resources/sample/security-site.jsonl" "$work/log/Security.evtx"

# Inside the namespace: empty /root and /var/lib (so nothing of this machine's
# is touched), the state bound in, the unit's first commands, its writable
# paths bound over themselves, then every other mount read-only.
cat >"$work/run.sh" <<'SCRIPT'
set -eu
mount -t tmpfs tmpfs /root
mount -t tmpfs tmpfs /var/lib
mkdir /var/lib/vzrmaud
mount --bind "$STATE" /var/lib/vzrmaud
printf '%s\n' "$PRE" | while read -r line; do [ -z "$line" ] || sh -c "$line"; done
for path in $WRITABLE; do [ -d "$path" ] && mount --bind "$path" "$path"; done
awk '{print $5}' /proc/self/mountinfo | while read -r mount; do
  case "$mount" in /proc|/proc/*|/sys|/sys/*|/dev|/dev/*) continue ;; esac
  case " $WRITABLE " in *" $mount "*) continue ;; esac
  mount -o remount,bind,ro "$mount" 2>/dev/null || true
done
if touch "$WORK/outside" 2>/dev/null; then echo "the file system is not read-only"; exit 99; fi
exec env -i PATH=/usr/bin:/bin VZRM_SECURITY_LOG="$WORK/log/Security.evtx" \
  VZRM_APPLICATION_LOG=/var/lib/vzrmaud/application.log "$VZRMAUD" -c -rf "$REPORTS"
SCRIPT
status=0
STATE=$state WORK=$work VZRMAUD=$bin/vzrmaud PRE=$pre WRITABLE=$writable REPORTS=$reports \
  unshare -m --propagation private sh "$work/run.sh" >"$work/run.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/run.log" "$state/application.log" "$state/reports/_ZRMAudit_summary.txt" 2>/dev/null; fail "the run in the unit's view ended with $status"; }
ls "$state/reports"/ZRMAudit_*.csv >/dev/null 2>&1 || fail "no report in the reports folder"
[ -s "$state/reports/_ZRMAudit_summary.txt" ] || fail "no summary"
[ ! -e "$work/outside" ] || fail "a file was written outside the writable paths"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the unit's sandbox checked"
