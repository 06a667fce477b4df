#!/usr/bin/env bash
# Installs the program into PREFIX and writes its installation record into the
# registry store there (PREFIX/registry, or $VZRM_REGISTRY_DIR when set).
#   scripts/install.sh PREFIX [--common-reg 0|1] [--common-set 0|1] [--set-access 0|1]
# The defaults are a common application with one set of options per user.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=${1:?usage: scripts/install.sh PREFIX [--common-reg N] [--common-set N] [--set-access N]}
shift
common_reg=1 common_set=0 set_access=1
while [ $# -gt 0 ]; do
  case "$1" in
    --common-reg) common_reg=$2; shift 2 ;;
    --common-set) common_set=$2; shift 2 ;;
    --set-access) set_access=$2; shift 2 ;;
    *) echo "install.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
for v in "$common_reg" "$common_set" "$set_access"; do
  case "$v" in 0|1) ;; *) echo "install.sh: choices are 0 or 1" >&2; exit 2 ;; esac
done

cmake --preset release >/dev/null
cmake --build --preset release --target installed_files >/dev/null
cmake --install build/release --prefix "$prefix" >/dev/null
prefix=$(cd "$prefix" && pwd)

# The install date as a SYSTEMTIME (UTC): eight little-endian 16-bit words.
read -r year month weekday day hour minute second < <(date -u '+%Y %m %w %d %H %M %S')
date_hex=""
for word in "$year" "$((10#$month))" "$weekday" "$((10#$day))" "$((10#$hour))" "$((10#$minute))" "$((10#$second))" 0; do
  date_hex+=$(printf '%02x,%02x,' $((word & 255)) $((word >> 8)))
done
date_hex=${date_hex%,}

record=$(mktemp)
trap 'rm -f "$record"' EXIT
install_dir=${prefix//\\/\\\\}
sed -e "s|@INSTALL_DIR@|$install_dir/bin|g" -e "s|@INSTALL_DATE@|$date_hex|" \
    -e "s|@COMMON_REG@|$(printf '%08x' "$common_reg")|" -e "s|@COMMON_SET@|$(printf '%08x' "$common_set")|" \
    -e "s|@SET_ACCESS@|$(printf '%08x' "$set_access")|" \
    resources/install/installation.reg.in >"$record"

export VZRM_REGISTRY_DIR=${VZRM_REGISTRY_DIR:-$prefix/registry}
"$prefix/bin/vzrmreg" import "$record"

# The machine-wide lock folder, writable by the installing account only, with
# the instance lock in it: other accounts take the lock through a read-only
# open and can plant nothing there. (Without $VZRM_LOCK_DIR the program uses
# /var/lib/vzrmaud/locks, which a system installation creates the same way.)
lock_dir=${VZRM_LOCK_DIR:-$prefix/locks}
install -d -m 0755 "$lock_dir" "$lock_dir/global"
lock_file=$lock_dir/global/Quorvix_ZRMAU_MutexGlobal.lock
[ -f "$lock_file" ] || install -m 0644 /dev/null "$lock_file"
echo "installed into $prefix (registry store: $VZRM_REGISTRY_DIR, locks: $lock_dir)"
