#!/usr/bin/env bash
# compare_frames.sh NATIVE_FRAMEDIGEST WINDOWS_FRAMEDIGEST STREAM_DIR DATA_DIR:
# every test stream's frames, digested by the native decoder and by the
# i686 Windows one (one 32-bit process for all streams), must be the same.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$1 windows=$2 streams=$3 data=$4
sh "$here/tests/mpeg/make_streams.sh" "$streams" || { echo "cannot make the test streams"; exit 1; }
files=("$streams"/*.m[12p]* "$data"/*.m2v)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$native" "${files[@]}" >"$work/native.txt"
native_status=$?
wfiles=()
for f in "${files[@]}"; do wfiles+=("Z:${f//\//\\}"); done
start=$(date +%s)
"$here/cmake/wine-run" wine "$windows" "${wfiles[@]}" >"$work/windows.log"
windows_status=$?
echo "i686 decoder: ${#files[@]} streams in $(( $(date +%s) - start )) s"
# Wine may add lines of its own (and the program ends its lines with CR LF);
# the digest lines have these heads.
tr -d '\r' <"$work/windows.log" | grep -E '^(stream|size|at|frame|frames|not) ' >"$work/windows.txt"
frames=$(grep -c '^frame ' "$work/native.txt")
echo "$frames frames and $(grep -c '^at ' "$work/native.txt") positions"
if ! diff -u "$work/native.txt" "$work/windows.txt" >"$work/diff.txt"; then
  echo "the i686 decoder differs from the native one:"
  head -40 "$work/diff.txt"
  exit 1
fi
# A stream the decoder cannot take is the decoder tests' concern; here both
# builds must only agree (their lines say so, and their exit status).
[ "$native_status" -eq "$windows_status" ] && [ "$frames" -gt 0 ] ||
  { echo "status native $native_status, windows $windows_status"; exit 1; }
