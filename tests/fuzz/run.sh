#!/usr/bin/env bash
# Runs the libFuzzer targets built by `make fuzz`.
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET ...]
# SECONDS 0 replays the committed seeds of every target once (a quick check
# that the targets work); otherwise each target fuzzes for SECONDS seconds at
# the lowest priority, one after the other, growing a working corpus in
# BUILD_DIR/fuzz-corpus/TARGET from the committed seeds.  Crashing inputs are
# written to BUILD_DIR/fuzz-artifacts/TARGET/, the fuzzer's output to
# BUILD_DIR/fuzz-logs/TARGET.log.  The exit status is non-zero when a target
# found a fault.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build directory}"
seconds="${2:-0}"
shift 2 || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/fuzz_*; do [ -x "$exe" ] && targets+=("$(basename "$exe")"); done
fi

failed=0
for t in "${targets[@]}"; do
  exe="$build/fuzz/$t"
  seeds="$here/corpus/$t"
  dict=()
  [ -f "$here/$t.dict" ] && dict=(-dict="$here/$t.dict")
  mkdir -p "$build/fuzz-artifacts/$t" "$build/fuzz-logs"
  log="$build/fuzz-logs/$t.log"
  if [ "$seconds" = 0 ]; then
    # Files given one by one are only executed: nothing is written.
    "$exe" -close_fd_mask=3 "$seeds"/* >"$log" 2>&1
  else
    corpus="$build/fuzz-corpus/$t"
    mkdir -p "$corpus"
    nice -n 19 "$exe" -max_total_time="$seconds" -timeout=120 -rss_limit_mb=2048 \
      -close_fd_mask=3 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$build/fuzz-artifacts/$t/" "$corpus" "$seeds" >"$log" 2>&1
  fi
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  [ -z "$runs" ] && runs=$(grep -c '^Executed ' "$log")
  if [ $rc -eq 0 ]; then
    echo "$t: ok, ${runs:-?} executions"
  else
    echo "$t: FAILED (exit $rc), see $log"
    grep -m3 'ERROR\|SUMMARY\|Test unit written' "$log"
    failed=1
  fi
done
exit $failed
