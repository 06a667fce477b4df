#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libsodium-dev
  tzdata locales python3 libevtx-utils libevt-utils python3-evtx
  qt6-base-dev fonts-dejavu-core
  xvfb xauth librsvg2-bin openbox
  scdoc groff-base dpkg-dev
  ntfs-3g attr
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Tests switch LC_TIME and LC_NUMERIC between these; generate them once.
need_locales=()
for l in en_US.UTF-8 de_DE.UTF-8; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || need_locales+=("$l")
done
if [ "${#need_locales[@]}" -gt 0 ] && [ "$(id -u)" -eq 0 ]; then
  for l in "${need_locales[@]}"; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" >>/etc/locale.gen
  done
  locale-gen >/dev/null
fi
