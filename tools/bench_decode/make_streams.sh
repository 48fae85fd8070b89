#!/usr/bin/env bash
# High-entropy bench streams: SMPTE bars, a moving insert, temporal noise;
# interlaced MPEG-2 (4:2:0 SD and HD, 4:2:2 SD) and MPEG-1, M=3 N=15.
# Usage: make_streams.sh OUTDIR [SECONDS]; streams already there are kept.
set -e
mkdir -p "${1:-.}"
out=${1:-.}; secs=${2:-10}
mk() { # name size rate bitrate pixfmt codec extra...
  local name=$1 size=$2 rate=$3 br=$4 pix=$5 codec=$6; shift 6
  [ -s "$out/$name" ] && return
  ffmpeg -nostdin -v error -y -f lavfi -i "smptebars=s=$size:r=$rate" -f lavfi -i "testsrc=s=320x240:r=$rate" \
    -filter_complex "[0][1]overlay=x='mod(t*160,W-w)':y='mod(t*90,H-h)',noise=alls=24:allf=t+u,format=$pix" \
    -t "$secs" -c:v "$codec" -b:v "$br" -maxrate "$br" -bufsize 1835k -g 15 -bf 2 "$@" -an -f vob "$out/tmp.$name"
  mv "$out/tmp.$name" "$out/$name"
}
mk sd_720x480i_8M.mpg 720x480 30000/1001 8M yuv420p mpeg2video -flags +ildct+ilme -top 1
mk hd_1920x1080i_20M.mpg 1920x1080 30000/1001 20M yuv420p mpeg2video -flags +ildct+ilme -top 1 -bufsize 9781k
mk sd422_720x480i_15M.mpg 720x480 30000/1001 15M yuv422p mpeg2video -flags +ildct+ilme -top 1 -bufsize 9781k
mk mpeg1_352x240_1.8M.mpg 352x240 30000/1001 1800k yuv420p mpeg1video
