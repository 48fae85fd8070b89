#!/bin/sh
# Runs one fuzz target for a while from seeds: the first 64 KiB of every
# stream given (so the byte-level targets start from real streams) and
# whatever the corpus folder kept from earlier runs. A fault fails the run
# and leaves its input (crash-*) beside the corpus folder.
#   brief_run.sh TARGET SECONDS CORPUS FLAG [STREAM...]
# FLAG is one more libFuzzer flag (-dict=FILE for the byte-level targets).
set -eu
target=$1 seconds=$2 corpus=$3 flag=$4
shift 4
mkdir -p "$corpus" "$corpus.seeds"
for stream in "$@"; do
  [ -f "$stream" ] && head -c 65536 "$stream" > "$corpus.seeds/$(basename "$stream")"
done
cd "$(dirname "$corpus")"
exec nice -n 10 "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=30 \
  -print_final_stats=1 "$flag" "$corpus" "$corpus.seeds"
