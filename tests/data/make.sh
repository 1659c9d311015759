#!/usr/bin/env bash
# Makes the small real recordings that the facade tests read, with Debian's
# ffmpeg, and records what ffprobe reports for each file's first video track
# in expectations.txt, so that the tests need neither tool.
#
# expectations.txt, one line per file (lines starting with # are notes):
#   <file> <creation time, seconds since 1970> <first sample time, ms> <last sample time, ms> <video packets>
#   [<ffprobe's first dts, ms> <ffprobe's last dts, ms>]
# A packet time is the creation time plus the sample's time, which is its
# decode time from the time-to-sample table plus the durations of the track's
# empty edits; other edits (the media-time shift that muxers write for
# B-frames, priming) do not move it. ffprobe subtracts that shift from its
# dts, so the sample times are taken from "ffprobe -ignore_editlist 1"; none of
# these files has an empty edit (make.sh checks). ms are rounded to the nearest.
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

# Small 1-second clips of other muxers' layouts: B-frames, QuickTime sound
# descriptions (version 1 for AAC, 2 above 65535 Hz), no edit list, 10-bit
# H.264, Opus and MP3 audio, the movie first.
small="testsrc=size=96x64:rate=10:duration=1"
tone="sine=frequency=440:sample_rate=8000:duration=1"
clip=(-y -hide_banner -loglevel error -f lavfi -i "$small" -f lavfi -i "$tone"
      -metadata creation_time=$created -map_metadata -1 -metadata creation_time=$created)
x264=(-c:v libx264 -preset veryfast -b:v 60k)
aac=(-c:a aac -b:a 16k -ac 1)
ffmpeg "${clip[@]}" "${x264[@]}" "${aac[@]}" bframes_h264.mp4
ffmpeg "${clip[@]}" -c:v libx265 -preset veryfast -tag:v hvc1 -x265-params log-level=error -b:v 60k "${aac[@]}" \
  bframes_hevc.mp4
ffmpeg "${clip[@]}" -c:v mpeg4 -bf 2 -b:v 60k "${aac[@]}" bframes_mpeg4.mp4
ffmpeg "${clip[@]}" "${x264[@]}" -bf 0 "${aac[@]}" -f mov qt_aac.mov
ffmpeg "${clip[@]}" "${x264[@]}" -bf 0 -c:a pcm_mulaw -ac 1 -f mov qt_ulaw.mov
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "$small" \
  -f lavfi -i "sine=frequency=440:sample_rate=96000:duration=0.05" -metadata creation_time=$created \
  "${x264[@]}" -bf 0 -c:a pcm_alaw -ac 1 -f mov qt_alaw_96k.mov
ffmpeg "${clip[@]}" "${x264[@]}" "${aac[@]}" -use_editlist 0 no_editlist.mp4
ffmpeg "${clip[@]}" "${x264[@]}" -pix_fmt yuv420p10le "${aac[@]}" h264_10bit.mp4
ffmpeg "${clip[@]}" "${x264[@]}" -bf 0 -c:a libopus -b:a 16k -ac 1 opus.mp4
ffmpeg "${clip[@]}" "${x264[@]}" -bf 0 -c:a libmp3lame -ar 16000 -b:a 16k -ac 1 mp3.mp4
ffmpeg "${clip[@]}" "${x264[@]}" "${aac[@]}" -movflags +faststart faststart.mp4
# Fragmented: no sample tables in the movie, so it stays unreadable.
ffmpeg "${clip[@]}" "${x264[@]}" -bf 0 -g 5 "${aac[@]}" -movflags +frag_keyframe+empty_moov fragmented.mp4

dts_ms() {  # file, extra ffprobe options: first and last dts of the first video track, ms, and the count
  ffprobe -v error "${@:2}" -select_streams v:0 -show_entries packet=dts_time -of csv=p=0 "$1" |
    awk 'NR == 1 { first = $1 } { last = $1; n++ }
         END { printf "%d %d %d\n", int(first * 1000 + (first < 0 ? -0.5 : 0.5)), int(last * 1000 + 0.5), n }'
}

{
  sed -n 's/^#   /# /p; /^# A packet time/,/^# these files/s/^# /# /p' "$0"
} > expectations.txt
for f in h264_aac.mp4 h264_aac.3gp h263_aac.3gp mpeg4.mp4 mjpeg.mp4 hevc.mp4 \
         bframes_h264.mp4 bframes_hevc.mp4 bframes_mpeg4.mp4 qt_aac.mov qt_ulaw.mov qt_alaw_96k.mov \
         no_editlist.mp4 h264_10bit.mp4 opus.mp4 mp3.mp4 faststart.mp4; do
  [ -f "$f" ] || continue
  if ffprobe -v trace "$f" 2>&1 | grep -q 'duration=[0-9]* time=-1 '; then
    echo "$f has an empty edit: its times need its duration" >&2
    exit 1
  fi
  created_text=$(ffprobe -v error -select_streams v:0 -show_entries stream_tags=creation_time -of csv=p=0 "$f")
  created_unix=$(date -u -d "$created_text" +%s)
  read -r first last n < <(dts_ms "$f" -ignore_editlist 1)
  read -r probe_first probe_last _ < <(dts_ms "$f")
  echo "$f $created_unix $first $last $n $probe_first $probe_last" >> expectations.txt
done
cat expectations.txt
