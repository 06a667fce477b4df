#!/usr/bin/env bash
# Checks the format, builds from scratch and runs every test: GCC with the
# sanitizers (warnings as errors), then a Clang build so that both compilers
# stay warning-free.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh

# The sources keep the repository's format.
git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' | xargs -0 clang-format --dry-run -Werror

cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2

cmake --preset clang >/dev/null
cmake --build --preset clang
ctest --preset clang -j2
