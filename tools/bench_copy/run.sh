#!/usr/bin/env bash
# Copy throughput: the worker's loop under Wine against dd bs=32k, both from
# the same input (1 GiB by default) into the same folder (mapped as T:).
# Every run starts after a sync and reads its input from the page cache.
# Two rounds: "cached" stops the clock when the last write returns (the
# programs' own cost), "flushed" when the data is on the disk (what a user
# sees over a long copy). Three runs each, alternating; medians printed.
#   tools/bench_copy/run.sh [SIZE_MIB]   (BENCH_COPY=other.exe to compare builds)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mib=${1:-1024}
drive=${RINGFEED_TEST_DRIVE:-$here/build/testdrive}
bench=${BENCH_COPY:-$here/build/win64/bin/bench_copy.exe}
[ -x "$bench" ] || "$here/scripts/build" win64
mkdir -p "$drive/bench"
input=$drive/bench/input.m2p
if [ "$(stat -c %s "$input" 2>/dev/null || echo 0)" != $((mib * 1048576)) ]; then
  head -c $((mib * 1048576)) /dev/urandom >"$input"
fi
cat "$input" >/dev/null

run_dd() {  # $1: extra dd flag
  rm -f "$drive/bench/dd.out"; sync
  local start end
  start=$(date +%s.%N)
  dd if="$input" of="$drive/bench/dd.out" bs=32k status=none $1
  end=$(date +%s.%N)
  echo "$mib * 1048576 / ($end - $start) / 1000000" | bc -l
}
run_copy() {  # $1: Priority2, $2: flush or nothing
  rm -f "$drive/\$Ringfeed.mpg"; sync
  "$here/cmake/wine-run" wine64 "$bench" 'T:\bench\input.m2p' T: 30 "$1" $2 | tr -d '\r' | awk '/MB\/s/ {print $NF}'
}
median() { sort -g | sed -n 2p; }
report() {  # $1: name, $2: MB/s, $3: dd MB/s
  printf '%-30s %7.1f MB/s  (%.2fx dd)\n' "$1" "$2" "$(echo "$2 / $3" | bc -l)"
}

for round in cached flushed; do
  flag='' flush=''
  [ $round = flushed ] && flag='conv=fsync' flush=flush
  dd_runs=() p5_runs=() p0_runs=()
  for i in 1 2 3; do
    dd_runs+=("$(run_dd "$flag")")
    p5_runs+=("$(run_copy 5 "$flush")")
    p0_runs+=("$(run_copy 0 "$flush")")
  done
  dd_mbs=$(printf '%s\n' "${dd_runs[@]}" | median)
  printf '%-30s %7.1f MB/s\n' "dd bs=32k ($round)" "$dd_mbs"
  report "Ringfeed Priority2=5 ($round)" "$(printf '%s\n' "${p5_runs[@]}" | median)" "$dd_mbs"
  report "Ringfeed Priority2=0 ($round)" "$(printf '%s\n' "${p0_runs[@]}" | median)" "$dd_mbs"
done
rm -f "$drive/bench/dd.out" "$drive/\$Ringfeed.mpg"
