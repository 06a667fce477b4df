#!/usr/bin/env bash
# Builds from scratch and runs every test: GCC with the sanitizers (warnings
# as errors), then a Clang build so that both compilers stay warning-free.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh

cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2

cmake --preset clang >/dev/null
cmake --build --preset clang
ctest --preset clang -j2
