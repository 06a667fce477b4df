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
mkdir -p "$work/evtx" "$work/evt" "$work/regfile" "$work/frame" "$work/messages" "$work/descriptor" \
  "$work/ntacl"
samples=../shared/samples
if [ -d "$samples" ]; then
  for f in "$samples"/*.evtx; do [ "$(stat -c %s "$f")" -le 1200000 ] && cp -n "$f" "$work/evtx/"; done
  # The small classic logs: the 2 MiB one slows every run to a crawl.
  for f in "$samples"/*.evt; do [ "$(stat -c %s "$f")" -le 100000 ] && cp -n "$f" "$work/evt/"; done
fi

# Keep the classic corpus small: large inputs slow every run to a crawl.
find "$work/evt" -type f -size +200k -delete
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"a"="b\\\\c"\r\n@=dword:00000001\r\n"h"=hex(7):61,00,00,00,\\\r\n  00,00\r\n[-HKLM\\Y]\r\n"d"=-\r\n' >"$work/regfile/seed.reg"
printf '\x68\x96\x79\x16\x03\x00\x00\x00\x00\x02\x00\x00\x00\x01\x41\x00\x00\x00\x00' >"$work/frame/bin"
printf '\x68\x96\x79\x16\x01\x00\x00\x00\x00\x02\x00\x00\x00\x01\xff\xff\xff\xfe' >"$work/frame/int"

printf 'MessageId=560\r\nSeverity=Success\r\nLanguage=English\r\nObject Open:%%n%%tObject Name:%%t%%3%%n\r\n.\r\n' >"$work/messages/seed.mc"

# A descriptor with an audit entry, alone and in Samba's version 1 attribute.
printf '\x01\x00\x14\x80\x14\x00\x00\x00\x24\x00\x00\x00\x30\x00\x00\x00\x4c\x00\x00\x00\x01\x02\x00\x00\x00\x00\x00\x05\x20\x00\x00\x00\x20\x02\x00\x00\x01\x01\x00\x00\x00\x00\x00\x05\x12\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x02\x40\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x00\x00\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00' >"$work/descriptor/seed"
printf '\x01\x00\x01\x00\x00\x00\x02\x00\x01\x00\x14\x80\x1c\x00\x00\x00\x2c\x00\x00\x00\x38\x00\x00\x00\x54\x00\x00\x00\x01\x02\x00\x00\x00\x00\x00\x05\x20\x00\x00\x00\x20\x02\x00\x00\x01\x01\x00\x00\x00\x00\x00\x05\x12\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x02\x40\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x00\x00\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00' >"$work/ntacl/v1"

for target in evtx evt regfile frame messages descriptor ntacl; do
  echo "== fuzz_$target for ${seconds}s"
  build/fuzz/fuzz/fuzz_$target "$work/$target" -max_total_time="$seconds" -max_len=1200000 \
    -rss_limit_mb=4096 -print_final_stats=1 2>&1 | grep -E '^(stat::|#[0-9]+.*(DONE|INITED))|ERROR|SUMMARY' || true
done
