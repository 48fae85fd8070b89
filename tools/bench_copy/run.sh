#!/usr/bin/env bash
# Copy throughput: the worker's loop under Wine against dd bs=32k, both from
# the same input (1 GiB by default) into the same folder (mapped as T:).
# Every run starts after a sync, reads its input from the page cache and
# writes into it: the figures compare the programs, not the disk. Each is
# run three times, alternating, and the median is printed.
#   tools/bench_copy/run.sh [SIZE_MIB]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mib=${1:-1024}
drive=${RINGFEED_TEST_DRIVE:-$here/build/testdrive}
bench=$here/build/win64/bin/bench_copy.exe
[ -x "$bench" ] || "$here/scripts/build" win64
mkdir -p "$drive/bench"
input=$drive/bench/input.m2p
if [ "$(stat -c %s "$input" 2>/dev/null || echo 0)" != $((mib * 1048576)) ]; then
  head -c $((mib * 1048576)) /dev/urandom >"$input"
fi
cat "$input" >/dev/null

run_dd() {
  rm -f "$drive/bench/dd.out"; sync
  local start end
  start=$(date +%s.%N)
  dd if="$input" of="$drive/bench/dd.out" bs=32k status=none
  end=$(date +%s.%N)
  echo "$mib * 1048576 / ($end - $start) / 1000000" | bc -l
}
run_copy() {
  rm -f "$drive/\$Ringfeed.mpg"; sync
  "$here/cmake/wine-run" wine64 "$bench" 'T:\bench\input.m2p' T: 30 "$1" | tr -d '\r' | awk '/MB\/s/ {print $NF}'
}
median() { sort -g | sed -n 2p; }

dd_runs=() p5_runs=() p0_runs=()
for i in 1 2 3; do
  dd_runs+=("$(run_dd)")
  p5_runs+=("$(run_copy 5)")
  p0_runs+=("$(run_copy 0)")
done
dd_mbs=$(printf '%s\n' "${dd_runs[@]}" | median)
p5=$(printf '%s\n' "${p5_runs[@]}" | median)
p0=$(printf '%s\n' "${p0_runs[@]}" | median)
printf 'dd bs=32k            %7.1f MB/s\n' "$dd_mbs"
printf 'Ringfeed Priority2=5 %7.1f MB/s  (%.2fx dd)\n' "$p5" "$(echo "$p5 / $dd_mbs" | bc -l)"
printf 'Ringfeed Priority2=0 %7.1f MB/s  (%.2fx dd)\n' "$p0" "$(echo "$p0 / $dd_mbs" | bc -l)"
rm -f "$drive/bench/dd.out" "$drive/\$Ringfeed.mpg"
