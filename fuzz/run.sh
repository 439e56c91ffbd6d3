#!/bin/sh
# Runs every fuzz target (or those named) for FUZZ_SECONDS each, one after
# another, from the stored corpus. A crash is copied into
# fuzz/regressions/<target>/, where the ordinary test build replays it.
#   fuzz/run.sh BUILD_DIR [TARGET...]
set -u
build=$1; shift
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
targets=${*:-"request percent http_date address_pattern script_headers counted_string"}
status=0
for t in $targets; do
  work="$build/fuzz-work/$t"
  rm -rf "$work/crashes"
  mkdir -p "$work/corpus" "$work/crashes"
  echo "== fuzz_$t for ${seconds}s"
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/crashes/" \
      "$work/corpus" "$here/corpus/$t" >"$work/log.txt" 2>&1
  rc=$?
  grep -E "^stat::number_of_executed_units|^Done|SUMMARY" "$work/log.txt"
  found=$(ls "$work/crashes" 2>/dev/null)
  if [ $rc -ne 0 ] || [ -n "$found" ]; then
    status=1
    mkdir -p "$here/regressions/$t"
    for f in $found; do cp "$work/crashes/$f" "$here/regressions/$t/$f"; done
    echo "fuzz_$t FAILED (exit $rc); inputs kept in fuzz/regressions/$t; log: $work/log.txt"
  fi
done
exit $status
