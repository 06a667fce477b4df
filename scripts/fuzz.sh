#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 60), seeded
# with the real sample logs beside the repository and with generated logs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

bash scripts/bootstrap.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=build/fuzz/corpus
mkdir -p "$work/evtx" "$work/evt"
samples=../shared/samples
if [ -d "$samples" ]; then
  for f in "$samples"/*.evtx; do [ "$(stat -c %s "$f")" -le 1200000 ] && cp -n "$f" "$work/evtx/"; done
  cp -n "$samples"/*.evt "$work/evt/" 2>/dev/null || true
fi

for target in evtx evt; do
  echo "== fuzz_$target for ${seconds}s"
  build/fuzz/fuzz/fuzz_$target "$work/$target" -max_total_time="$seconds" -max_len=1200000 \
    -rss_limit_mb=4096 -print_final_stats=1 2>&1 | grep -E '^(stat::|#[0-9]+.*(DONE|INITED))|ERROR|SUMMARY' || true
done
