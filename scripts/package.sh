#!/usr/bin/env bash
# Builds the Debian package from the release build and prints its path.
#   scripts/package.sh [RELEASE]
# RELEASE is the Debian revision (default 1); a rebuilt package with a higher
# one upgrades an installed one.
set -euo pipefail
cd "$(dirname "$0")/.."

release=${1:-1}
case "$release" in ''|*[!0-9]*) echo "package.sh: RELEASE is a number" >&2; exit 2 ;; esac
for tool in scdoc dpkg-shlibdeps cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "package.sh: $tool is missing; run scripts/bootstrap.sh" >&2
    exit 1
  fi
done

cmake --preset release -DVZRM_REQUIRE_MAN_PAGES=ON -DVZRM_PACKAGE_RELEASE="$release" >/dev/null
# The build's progress on standard error: it takes minutes on a fresh tree.
cmake --build --preset release --target installed_files >&2
out=build/release/packages
rm -f "$out"/vzrmaud_*.deb
if ! (cd build/release && cpack -G DEB -B "$PWD/packages" >"$PWD/packages.log" 2>&1); then
  cat build/release/packages.log >&2
  exit 1
fi
rm -rf "$out/_CPack_Packages"
ls "$PWD/$out"/vzrmaud_*.deb
