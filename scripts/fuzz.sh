#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 60):
#   scripts/fuzz.sh [SECONDS [TARGET...]]
# Each target's corpus stays between runs in ${VZRM_FUZZ_DIR:-/var/tmp/vzrmaud-fuzz},
# outside the repository. Every input a fuzzer stops on (crash, leak, timeout,
# out-of-memory) is copied into tests/regress/TARGET/, which test_fuzz_regress
# replays on the normal build; the run then goes on for the time left.
# VZRM_FUZZ_NICE (default 0) is the fuzzers' niceness, VZRM_FUZZ_TIMEOUT
# (default 30) the seconds one input may take; VZRM_FUZZ_BUILD=0 skips
# the build; VZRM_SAMPLES_DIR (default ../shared/samples) seeds the log corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
seconds=${1:-60}
shift || true
all=(fuzz_evtx fuzz_evt fuzz_regfile fuzz_frame fuzz_messages fuzz_descriptor fuzz_ntacl fuzz_seal)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all[@]}")
case $seconds in '' | *[!0-9]*) echo "fuzz: SECONDS must be a number" >&2; exit 2 ;; esac
for t in "${targets[@]}"; do
  case " ${all[*]} " in *" $t "*) ;; *) echo "fuzz: unknown target $t" >&2; exit 2 ;; esac
done

# A folder of our own: created here with mode 700, or, when it is there
# already, accepted only as a real folder of this user that no one else can write.
own_dir() {
  local dir=$1
  mkdir -m 700 -- "$dir" 2>/dev/null && return 0
  if [ -L "$dir" ] || [ ! -d "$dir" ]; then
    echo "fuzz: $dir is not a plain folder" >&2
    exit 1
  fi
  if [ "$(stat -c %u -- "$dir")" != "$(id -u)" ] || [ $((0$(stat -c %a -- "$dir") & 022)) -ne 0 ]; then
    echo "fuzz: $dir belongs to another user or others can write to it" >&2
    exit 1
  fi
}

timeout=${VZRM_FUZZ_TIMEOUT:-30}
case $timeout in '' | *[!0-9]*) echo "fuzz: VZRM_FUZZ_TIMEOUT must be a number" >&2; exit 2 ;; esac
base=${VZRM_FUZZ_DIR:-/var/tmp/vzrmaud-fuzz}
own_dir "$base"
base=$(cd -- "$base" && pwd -P)
case $base/ in "$repo"/*) echo "fuzz: $base is inside the repository" >&2; exit 1 ;; esac

if [ "${VZRM_FUZZ_BUILD:-1}" != 0 ]; then
  bash scripts/bootstrap.sh
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz --target "${targets[@]}"
fi

seed() {  # seed TARGET: the corpus's first inputs
  local corpus=$base/corpus/$1 samples=${VZRM_SAMPLES_DIR:-../shared/samples} f
  case $1 in
    fuzz_evtx)
      [ -d "$samples" ] && for f in "$samples"/*.evtx; do
        [ "$(stat -c %s "$f")" -le 1200000 ] && cp -n "$f" "$corpus/"
      done ;;
    fuzz_evt)
      # The small classic logs: the 2 MiB one slows every run to a crawl.
      [ -d "$samples" ] && for f in "$samples"/*.evt; do
        [ "$(stat -c %s "$f")" -le 100000 ] && cp -n "$f" "$corpus/"
      done ;;
    fuzz_regfile)
      printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"a"="b\\\\c"\r\n@=dword:00000001\r\n"h"=hex(7):61,00,00,00,\\\r\n  00,00\r\n[-HKLM\\Y]\r\n"d"=-\r\n' >"$corpus/seed.reg" ;;
    fuzz_frame)
      printf '\x68\x96\x79\x16\x03\x00\x00\x00\x00\x02\x00\x00\x00\x01\x41\x00\x00\x00\x00' >"$corpus/bin"
      printf '\x68\x96\x79\x16\x01\x00\x00\x00\x00\x02\x00\x00\x00\x01\xff\xff\xff\xfe' >"$corpus/int" ;;
    fuzz_messages)
      printf 'MessageId=560\r\nSeverity=Success\r\nLanguage=English\r\nObject Open:%%n%%tObject Name:%%t%%3%%n%%1!-12s!%%%%4417\r\n.\r\nMessageId=4417\r\nLanguage=English\r\nWriteData\r\n.\r\n' >"$corpus/seed.mc"
      python3 scripts/fuzz_pe_seed.py >"$corpus/seed.dll" ;;
    fuzz_descriptor)
      # A descriptor with an audit entry.
      printf '\x01\x00\x14\x80\x14\x00\x00\x00\x24\x00\x00\x00\x30\x00\x00\x00\x4c\x00\x00\x00\x01\x02\x00\x00\x00\x00\x00\x05\x20\x00\x00\x00\x20\x02\x00\x00\x01\x01\x00\x00\x00\x00\x00\x05\x12\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x02\x40\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x00\x00\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00' >"$corpus/seed" ;;
    fuzz_ntacl)
      # The same descriptor in Samba's version 1 attribute.
      printf '\x01\x00\x01\x00\x00\x00\x02\x00\x01\x00\x14\x80\x1c\x00\x00\x00\x2c\x00\x00\x00\x38\x00\x00\x00\x54\x00\x00\x00\x01\x02\x00\x00\x00\x00\x00\x05\x20\x00\x00\x00\x20\x02\x00\x00\x01\x01\x00\x00\x00\x00\x00\x05\x12\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x02\x40\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x04\x00\x1c\x00\x01\x00\x00\x00\x00\x00\x14\x00\xff\x01\x00\x00\x01\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00' >"$corpus/v1" ;;
    fuzz_seal)
      # Two seal lines of the format (signatures of no key), a NUL, then a summary block.
      d=$(printf '%064d' 0)
      printf 'VZRMSEAL1\t2026-12-09T04:00:00\tZRMAudit_20261209_040000.csv\t%s\t%s\t%s\t%s\t%s\nVZRMSEAL1\t2026-12-09T05:00:00\t-\t-\t%s\t%s\t%s\t%s\n\0Start of processing: 2026-12-09 04:00:00\r\nLast date of processing: \r\nProcessed events: 18\r\n\r\n------------------------------\r\n' \
        "$d" "$d" "$d" "${d:0:16}" "${d}${d}" "$d" "$d" "${d:0:16}" "${d}${d}" >"$corpus/seed" ;;
  esac
  return 0
}

max_len() {
  case $1 in
    fuzz_evtx) echo 1200000 ;;
    fuzz_evt) echo 200000 ;;
    *) echo 65536 ;;
  esac
}

for t in "${targets[@]}"; do
  corpus=$base/corpus/$t artifacts=$base/artifacts/$t regress=tests/regress/$t
  mkdir -p "$base/corpus" "$base/artifacts" "$base/logs"
  mkdir -p "$corpus" "$artifacts"
  seed "$t"
  log=$base/logs/$t.log
  echo "== $t for ${seconds}s (log $log)"
  start=$(date +%s)
  logged=$(stat -c %s "$log" 2>/dev/null || echo 0)
  findings=0
  # A finding stops libFuzzer: save it and go on for the time left, up to a
  # few findings (one fault tends to be found again and again).
  while :; do
    left=$((start + seconds - $(date +%s)))
    [ "$left" -gt 0 ] || break
    status=0 new=0 aside=0
    TIMEFORMAT="cpu_seconds: %U user %S system"
    { time nice -n "${VZRM_FUZZ_NICE:-0}" "build/fuzz/fuzz/$t" "$corpus" -max_total_time="$left" \
      -max_len="$(max_len "$t")" -rss_limit_mb=2048 -timeout="$timeout" -artifact_prefix="$artifacts/" \
      -print_final_stats=1 >>"$log" 2>&1; } 2>>"$log" || status=$?
    for f in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
      [ -f "$f" ] || continue  # slow-unit-* is kept for a look, not as a regression
      # A timeout is wall time: on a busy machine, or at a low priority, a
      # quick input can meet it. Only one that times out again is kept.
      if [ "${f##*/}" != "${f##*/timeout-}" ] && [ ! -e "$regress/${f##*/}" ] &&
        nice -n "${VZRM_FUZZ_NICE:-0}" "build/fuzz/fuzz/$t" -timeout="$timeout" "$f" >>"$log" 2>&1; then
        echo "   $t: ${f##*/} finished when run again; not kept" | tee -a "$log"
        mkdir -p "$base/passed" && mv -- "$f" "$base/passed/"
        aside=1
        continue
      fi
      if [ ! -e "$regress/${f##*/}" ]; then
        mkdir -p "$regress" && cp -- "$f" "$regress/"
        echo "   finding: $regress/${f##*/}"
        findings=$((findings + 1)) new=1
      fi
    done
    if [ "$status" -ne 0 ] && [ "$new" -eq 0 ] && [ "$aside" -eq 0 ]; then
      echo "   $t stopped (status $status) without a new input; see $log" >&2
      break
    fi
    [ "$status" -ne 0 ] && [ "$findings" -lt 5 ] || break  # status 0: the time is up
  done
  tail -c +$((logged + 1)) "$log" | awk -v t="$t" '
    /^stat::number_of_executed_units/ { runs += $2 }
    /^cpu_seconds:/ { cpu += $2 + $4 }
    END { printf "   %s: %d runs, %.0f s of CPU time", t, runs, cpu }'
  echo ", $findings new findings"
done
