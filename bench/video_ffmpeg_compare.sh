#!/usr/bin/env bash
# Our per-frame encode cost (colour conversion included) next to the ffmpeg tool
# encoding the same raw frames with the same codec and options on one thread.
# ffmpeg's per-frame figure is the user-time difference between encoding 660 and
# 60 frames (the 30-frame sequence looped), so its start-up is not counted. Both
# figures are CPU time, best of three runs.
#   bench/video_ffmpeg_compare.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
bench="$build/bench/video_codec_bench"
command -v ffmpeg >/dev/null || { echo "SKIPPED: ffmpeg not installed"; exit 77; }
[ -x "$bench" ] || { echo "missing $bench"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Default options of our encoders: quality 80 % -> quantiser 7, CRF 24, 600 kbit/s,
# a key frame every 60 frames, no B-frames.
declare -A opts=(
  [mjpeg]="-c:v mjpeg -q:v 7 -pix_fmt yuvj420p"
  [xvid]="-c:v mpeg4 -q:v 7 -g 60 -bf 0"
  [fmp4]="-c:v mpeg4 -q:v 7 -g 60 -bf 0"
  [divx]="-c:v mpeg4 -q:v 7 -g 60 -bf 0"
  [h264]="-c:v libx264 -preset veryfast -tune zerolatency -crf 24 -g 60 -pix_fmt yuv420p"
  [mp42]="-c:v msmpeg4v2 -q:v 7 -g 60"
  [mp43]="-c:v msmpeg4 -q:v 7 -g 60"
  [wmv1]="-c:v wmv1 -q:v 7 -g 60"
  [h263]="-c:v h263p -q:v 7 -g 60"
  [flv1]="-c:v flv -q:v 7 -g 60"
  [vp8]="-c:v libvpx -b:v 600k -deadline realtime -cpu-used 8 -lag-in-frames 0 -g 60"
  [msvc]="-c:v msvideo1"
  [ffv1]="-c:v ffv1 -pix_fmt yuv420p"
)
codecs=${CODECS:-"mjpeg xvid h264 mp42 mp43 wmv1 h263 flv1 vp8 msvc ffv1"}

utime() {  # raw size frames codec
  ffmpeg -hide_banner -nostats -benchmark -threads 1 \
    -f rawvideo -pix_fmt bgr24 -s "$2" -r 30 -stream_loop -1 -i "$1" -frames:v "$3" \
    -threads 1 -filter_threads 1 ${opts[$4]} -f null - 2>&1 |
    sed -n 's/^bench: utime=\([0-9.]*\)s.*/\1/p'
}

printf "%-6s %-8s %10s %10s %7s\n" codec size "ours ms" "ffmpeg ms" ratio
for size in 320x240 640x480; do
  "$bench" --dump-raw="$work/raw.bgr" --size="$size" --frames=30
  for c in $codecs; do
    ours=$("$bench" --benchmark_filter="BM_Encode/$c/$size\$" --benchmark_min_time=0.5 \
             --benchmark_repetitions=3 --benchmark_format=csv 2>/dev/null |
           awk -F, -v n="\"BM_Encode/$c/$size\"" \
             '$1==n && (best == "" || $4 < best) {best = $4} END {print best}')
    best=""
    for run in 1 2 3; do
      t60=$(utime "$work/raw.bgr" "$size" 60 "$c")
      t660=$(utime "$work/raw.bgr" "$size" 660 "$c")
      per=$(awk -v a="$t60" -v b="$t660" 'BEGIN {printf "%.4f", (b - a) / 600 * 1000}')
      best=$(awk -v a="$best" -v b="$per" 'BEGIN {print (a == "" || b < a) ? b : a}')
    done
    ratio=$(awk -v o="$ours" -v f="$best" 'BEGIN {printf "%.2f", (f > 0) ? o / f : 0}')
    printf "%-6s %-8s %10.3f %10.3f %7s\n" "$c" "$size" "$ours" "$best" "$ratio"
  done
done
