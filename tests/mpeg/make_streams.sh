#!/bin/sh
# Makes the decoder's test streams from ffmpeg's synthetic sources into
# OUTDIR (default: the current folder). A stream already there is kept, so
# a second run costs nothing. Usage: make_streams.sh [OUTDIR]
set -eu
out=${1:-.}
mkdir -p "$out"
cd "$out"

# make NAME ffmpeg-arguments... : video (and audio) into NAME, written
# under a temporary name first so an interrupted run leaves nothing half made.
make() {
  name=$1; shift
  [ -s "$name" ] && return 0
  ffmpeg -nostdin -v error -y "$@" "tmp.$name"
  mv "tmp.$name" "$name"
}
video() { echo -f lavfi -i "testsrc2=size=$1:rate=$2"; }
tone() { echo -f lavfi -i "sine=frequency=440:sample_rate=$1"; }
# A real bit rate in the sequence header (not the 0x3FFFF "variable" marker).
rate="-b:v 3M -maxrate 4M -bufsize 1835k"

make mpeg1_system.mpg $(video 352x240 30000/1001) $(tone 44100) -t 1 \
  -c:v mpeg1video -b:v 1M -maxrate 1152k -bufsize 327680 -g 12 -bf 2 \
  -c:a mp2 -b:a 128k -ac 1 -f mpeg
make mpeg1_es.m1v $(video 320x240 25) -t 1 -c:v mpeg1video $rate -g 10 -bf 2 -f mpeg1video
make mpeg2_ps.mpg $(video 720x480 30000/1001) $(tone 48000) -t 2 \
  -c:v mpeg2video $rate -g 12 -bf 2 -c:a mp2 -b:a 192k -ac 2 -f vob
make mpeg2_es_open_gop.m2v $(video 640x360 25) -t 2 -c:v mpeg2video $rate -g 9 -bf 2 -f mpeg2video
make closed_gop.m2v $(video 352x288 25) -t 2 -c:v mpeg2video $rate -g 9 -bf 2 \
  -flags +cgop -sc_threshold 1000000000 -f mpeg2video
make interlaced.m2v $(video 720x576 25) -t 1 -c:v mpeg2video $rate -g 12 -bf 2 \
  -flags +ildct+ilme -top 1 -f mpeg2video
make yuv422.m2v $(video 352x288 25) -t 1 -pix_fmt yuv422p -c:v mpeg2video $rate -g 12 -bf 2 \
  -f mpeg2video
make odd_size.m2v $(video 354x242 25) -t 1 -c:v mpeg2video $rate -g 6 -bf 1 -f mpeg2video
make hd1080.mpg $(video 1920x1080 30000/1001) $(tone 48000) -t 0.5 \
  -c:v mpeg2video -b:v 15M -maxrate 20M -bufsize 9781248 -g 6 -bf 2 -flags +ildct+ilme \
  -c:a mp2 -b:a 256k -ac 2 -f vob
# MP3 sound whose frames hold a run that looks like a video packet start
# (00 00 01 Ex) followed by one of its own: a demultiplexer that searches
# for packet starts instead of stepping over packets loses video there.
make mp3_ps.mpg $(video 352x288 25) -f lavfi -i anoisesrc=sample_rate=44100:amplitude=0.3:seed=21 \
  -t 4 -c:v mpeg2video $rate -g 12 -bf 2 -c:a libmp3lame -b:a 256k -ac 1 -f vob
# Small pictures with sound of every layer-II/III table: the full and the
# lower sampling frequencies, several bit rates, both multiplex kinds.
# sound NAME CODEC RATE BITRATE CHANNELS FORMAT
sound() {
  make "$1" $(video 176x144 25) $(tone "$3") -t 0.6 -c:v mpeg2video -g 6 -bf 2 \
    -c:a "$2" -b:a "$4" -ac "$5" -f "$6"
}
sound mp2_24k_64k.mpg mp2 24000 64k 2 vob
sound mp2_16k_8k.mpg mp2 16000 8k 1 vob
sound mp2_32k_384k.mpg mp2 32000 384k 2 mpeg
sound mp3_22k_32k.mpg libmp3lame 22050 32k 1 vob
sound mp3_24k_160k.mpg libmp3lame 24000 160k 2 mpeg
sound mp3_48k_320k.mpg libmp3lame 48000 320k 2 vob
sound mp3_32k_40k.mpg libmp3lame 32000 40k 2 vob
# Starts just before a minute so the GOP time codes cross a dropped pair.
make drop_frame.m2v $(video 352x240 30000/1001) -t 3 -c:v mpeg2video $rate -g 15 -bf 2 \
  -timecode '00:00:58;20' -f mpeg2video

# 3:2 pulldown (repeat_first_field) from 23.976 frames; mpeg2enc keeps the
# pulldown only for heights whose half is a multiple of 16.
if [ ! -s pulldown.m2v ]; then
  ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=352x480:rate=24000/1001 -t 1 \
    -pix_fmt yuv420p -f yuv4mpegpipe - |
    mpeg2enc -v 0 -f 3 -p -b 3000 -g 6 -G 12 -o tmp.pulldown.m2v 2>/dev/null
  mv tmp.pulldown.m2v pulldown.m2v
fi
# The same from mpeg2enc muxed with sound by mplex, as such recordings come:
# four GOPs whose time codes count the coded 23.976 frames.
if [ ! -s pulldown_ps.mpg ]; then
  ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=352x480:rate=24000/1001 -t 2 \
    -pix_fmt yuv420p -f yuv4mpegpipe - |
    mpeg2enc -v 0 -f 3 -p -b 3000 -g 6 -G 12 -o tmp.pulldown_ps.m2v 2>/dev/null
  ffmpeg -nostdin -v error -y $(tone 48000) -t 2 -c:a mp2 -b:a 192k -f mp2 tmp.pulldown_ps.mp2
  mplex -v 0 -f 3 -o tmp.pulldown_ps.mpg tmp.pulldown_ps.m2v tmp.pulldown_ps.mp2
  rm tmp.pulldown_ps.m2v tmp.pulldown_ps.mp2
  mv tmp.pulldown_ps.mpg pulldown_ps.mpg
fi
