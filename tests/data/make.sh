#!/usr/bin/env bash
# Makes the small real recordings that the facade tests read, with Debian's
# ffmpeg, and records what ffprobe reports for each file's first video track
# in expectations.txt, so that the tests need neither tool.
#
# expectations.txt, one line per file:
#   <file> <creation time, seconds since 1970> <first decode time, ms> <last decode time, ms> <video packets>
# A packet time is the creation time plus the decode time (ms rounded to the nearest).
set -euo pipefail
cd "$(dirname "$0")"

created=2012-03-03T10:15:00Z
video="testsrc=size=176x144:rate=10:duration=3"
audio="sine=frequency=440:sample_rate=8000:duration=3"
common=(-y -hide_banner -loglevel error -f lavfi -i "$video" -f lavfi -i "$audio"
        -metadata creation_time=$created -map_metadata -1 -metadata creation_time=$created)

# H.264 (no B-frames) + AAC, as .mp4 and .3gp
ffmpeg "${common[@]}" -c:v libx264 -preset veryfast -bf 0 -g 10 -b:v 120k -c:a aac -b:a 24k -ac 1 \
  -movflags +faststart h264_aac.mp4
# (this one at 29.97 frames per second, so that times need rounding)
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "testsrc=size=176x144:rate=30000/1001:duration=3" \
  -f lavfi -i "$audio" -metadata creation_time=$created \
  -c:v libx264 -preset veryfast -bf 0 -g 30 -b:v 120k -c:a aac -b:a 24k -ac 1 -f 3gp h264_aac.3gp
# H.263 + AAC in .3gp (Debian's ffmpeg has no AMR-NB encoder)
ffmpeg "${common[@]}" -c:v h263 -b:v 120k -g 10 -c:a aac -b:a 24k -ac 1 -f 3gp h263_aac.3gp
# MPEG-4 Part 2, no B-frames
ffmpeg "${common[@]}" -c:v mpeg4 -bf 0 -g 10 -b:v 120k -c:a aac -b:a 24k -ac 1 mpeg4.mp4
# Motion JPEG, video only
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "testsrc=size=160x120:rate=5:duration=3" \
  -metadata creation_time=$created -c:v mjpeg -q:v 20 mjpeg.mp4
# HEVC without B-frames, when the encoder is there
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
if grep -q libx265 <<< "$encoders"; then
  ffmpeg "${common[@]}" -c:v libx265 -preset veryfast -tag:v hvc1 \
    -x265-params "bframes=0:keyint=10:log-level=error" -b:v 120k -c:a aac -b:a 24k -ac 1 hevc.mp4
fi

: > expectations.txt
for f in h264_aac.mp4 h264_aac.3gp h263_aac.3gp mpeg4.mp4 mjpeg.mp4 hevc.mp4; do
  [ -f "$f" ] || continue
  created_text=$(ffprobe -v error -select_streams v:0 -show_entries stream_tags=creation_time -of csv=p=0 "$f")
  created_unix=$(date -u -d "$created_text" +%s)
  ffprobe -v error -select_streams v:0 -show_entries packet=dts_time -of csv=p=0 "$f" |
    awk -v f="$f" -v c="$created_unix" '
      NR == 1 { first = $1 } { last = $1; n++ }
      END { printf "%s %d %d %d %d\n", f, c, int(first * 1000 + 0.5), int(last * 1000 + 0.5), n }' \
    >> expectations.txt
done
cat expectations.txt
