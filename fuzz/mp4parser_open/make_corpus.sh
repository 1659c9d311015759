#!/bin/sh
# Remakes the seed corpus: small recordings of our own writer in its layouts
# (header tracks, moov first, 64-bit headers and chunk offsets, embedded
# form, no header tracks) and one short file of Debian's ffmpeg with B-frames
# (composition offsets and an edit list). Usage: make_corpus.sh <build folder>
set -e
M="$1/make_recording"
C="$(dirname "$0")/corpus"
mkdir -p "$C"
$M -o "$C/h264_amr.3gp" --seconds 0.3 --fps 10 --key-interval 2 --key-size 60 --frame-size 20 --audio amr --dl-element 1 --zone 80 --dst
$M -o "$C/hevc_aac_moov_first.3gp" --video hevc --audio aac --seconds 0.3 --fps 10 --key-size 50 --frame-size 16 --moov-first
$M -o "$C/mp4v_ulaw_v1_co64.3gp" --video mp4v --audio ulaw --seconds 0.2 --fps 10 --key-size 40 --frame-size 16 --version1 --co64
$M -o "$C/jpeg_alaw_embedded.3gp" --video jpeg --audio alaw --seconds 0.2 --fps 10 --key-size 40 --frame-size 16 --embedded
$M -o "$C/h263_none_noheaders.3gp" --video h263 --audio none --seconds 0.3 --fps 10 --key-size 40 --frame-size 16 --no-header-tracks
ffmpeg -v error -y -f lavfi -i color=c=gray:s=16x16:r=5:d=0.6 -f lavfi -i sine=f=440:r=8000:d=0.6 \
  -c:v libx264 -bf 2 -g 3 -c:a aac -b:a 16k -metadata creation_time=2012-03-03T10:15:00Z \
  "$C/ffmpeg_h264_bframes_aac.mp4"
