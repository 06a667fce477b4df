#!/usr/bin/env bash
# The main job on a fresh machine: installs what the build needs, builds and
# installs the program into .vzrm/ with a store of its own, writes the bundled
# sample Security log of a recording site, runs one unattended report into
# reports/ and says where the report and the summary are. A second run shows
# what a site sees when nothing new was recorded.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
prefix=$PWD/.vzrm
export VZRM_REGISTRY_DIR=$prefix/registry
export VZRM_LOCK_DIR=$prefix/locks
export VZRM_APPLICATION_LOG=$prefix/application.log
bash scripts/install.sh "$prefix" >/dev/null

export VZRM_SECURITY_LOG=$prefix/Security.evtx
"$prefix/lib/vzrmaud/evtxgen" resources/sample/security-site.jsonl "$VZRM_SECURITY_LOG"
mkdir -p reports

status=0
"$prefix/bin/vzrmaud" -c -rf "$PWD/reports" || status=$?
case $status in
  0) outcome="completed" ;;
  1) outcome="failed" ;;
  2) outcome="interrupted" ;;
  *) outcome="refused to start" ;;
esac
echo "report run $outcome (exit status $status)"
report=$(ls -t reports/ZRMAudit_*.csv 2>/dev/null | head -n 1 || true)
[ -n "$report" ] && echo "latest report: $PWD/$report"
echo "summary:       $PWD/reports/_ZRMAudit_summary.txt"
echo "seal:          $PWD/reports/_ZRMAudit_seal.txt"
echo "  check it:    VZRM_REGISTRY_DIR=$VZRM_REGISTRY_DIR $prefix/bin/vzrmlog verify $PWD/reports"
if [ -s "$VZRM_APPLICATION_LOG" ]; then
  echo "application log: $VZRM_APPLICATION_LOG"
fi
exit "$status"
