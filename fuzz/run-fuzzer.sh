#!/bin/sh
# Runs one libFuzzer target with the project's limits (-rss_limit_mb=512, -timeout=1).
#
#   run-fuzzer.sh <target> <seed directory> <work directory> [-fresh] [-seconds=N] [options...]
#
# With -seconds=N the target fuzzes for N seconds; otherwise the libFuzzer options say how
# long (-runs=...). New inputs go to <work>/corpus (the seeds stay as generated), which
# -fresh empties first so that a run with a fixed -seed repeats exactly; inputs
# that crash, leak, time out or run out of memory go to <work>/artifacts, and the script
# fails with libFuzzer's exit status.
#
# A timeout is replayed before it counts: the timer is wall-clock, and on a machine busy
# with other work a unit that takes microseconds can be descheduled past one second. An
# input that finishes in time on three replays is set aside in <work>/unreproduced and the
# run goes on (at most three times); one that times out again fails the run.
set -u
if [ $# -lt 3 ]; then
  echo "usage: $0 <target> <seeds> <work> [-fresh] [-seconds=N] [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seeds=$2
work=$3
shift 3
seconds=
while [ $# -gt 0 ]; do
  case "$1" in
    -fresh) rm -rf "$work/corpus"; shift ;;
    -seconds=*) seconds=${1#-seconds=}; shift ;;
    *) break ;;
  esac
done
name=$(basename "$target")
mkdir -p "$work/corpus" "$work/artifacts" "$work/unreproduced"

# Leaks are findings; UBSan stops at its first report (the build also says so).
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:print_stacktrace=1}
UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export ASAN_OPTIONS UBSAN_OPTIONS

start=$(date +%s)
executions=0
peak=0
spurious=0
segment=0
while :; do
  limit=
  if [ -n "$seconds" ]; then
    left=$((seconds - ($(date +%s) - start)))
    [ "$left" -ge 1 ] || break
    limit=-max_total_time=$left
  fi
  segment=$((segment + 1))
  log=$work/log.$segment
  "$target" -rss_limit_mb=512 -timeout=1 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" $limit "$@" "$work/corpus" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
  executions=$((executions + ${runs:-0}))
  [ "${rss:-0}" -gt "$peak" ] && peak=${rss:-0}
  [ "$rc" -eq 0 ] && break

  unit=$(sed -n 's/.*Test unit written to \(.*timeout-[0-9a-f]*\)$/\1/p' "$log" | tail -n 1)
  if [ -n "$unit" ] && grep -q 'SUMMARY: libFuzzer: timeout' "$log" &&
     "$target" -timeout=1 -runs=3 "$unit" >"$log.replay" 2>&1; then
    spurious=$((spurious + 1))
    mv "$unit" "$work/unreproduced/"
    echo "$name: a timeout did not reproduce on replay (busy machine?); set aside in $work/unreproduced" >&2
    if [ "$spurious" -gt 3 ]; then
      echo "$name: too many unreproducible timeouts; the machine is too busy to judge" >&2
      exit 1
    fi
    continue
  fi
  tail -n 60 "$log" >&2
  echo "$name: FAILED (exit status $rc); log $log, inputs in $work/artifacts" >&2
  exit "$rc"
done
elapsed=$(($(date +%s) - start))
echo "$name: $executions executions in ${elapsed} s, peak RSS ${peak} MB, corpus $(ls "$work/corpus" | wc -l) new + $(ls "$seeds" | wc -l) seeds"
