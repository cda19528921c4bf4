#!/usr/bin/env bash
# How close the phone picture stays to its source with and without the fast
# decoding of large sources. The reference is the source fully decoded
# (deinterlaced where the engine deinterlaces) and scaled to 176x144 by area
# averaging; each output is compared with it by PSNR and SSIM.
# Usage: bench/downscale_quality.sh [BUILD_DIR [CLIP_FOLDER]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
driver="$build/bench/convert_driver"
[ -x "$driver" ] || { echo "Build first: $driver is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clips=${2:-$work/clips}
bench/make_large_clips.sh "$clips"
phone="s 176x144 b 150000 acodec aac ar 8000 ac 1 ab 12200"

# Prints "psnr ssim" of a picture against the reference.
compare() {
  ffmpeg -nostdin -hide_banner -i "$1" -i "$work/reference.y4m" \
    -lavfi "[0:v][1:v]psnr;[0:v][1:v]ssim" -f null - 2>&1 |
    awk '/PSNR/ { for (i = 1; i <= NF; ++i) if ($i ~ /^average:/) { sub("average:", "", $i); p = $i } }
         /SSIM/ { for (i = 1; i <= NF; ++i) if ($i ~ /^All:/) { sub("All:", "", $i); s = $i } }
         END { print p, s }'
}

printf '%-16s %22s %22s %16s\n' clip "full decode PSNR/SSIM" "fast decode PSNR/SSIM" "difference"
for clip in h264_1080p.mp4 h264_1080p60.mp4 hevc_1080p.mp4 mpeg2_576i.mpg vp9_720p.webm; do
  deinterlace=""
  [[ $clip == mpeg2* ]] && deinterlace="yadif=deint=interlaced,"
  ffmpeg -nostdin -v error -y -i "$clips/$clip" -vf "${deinterlace}scale=176:144:flags=area" -pix_fmt yuv420p \
    "$work/reference.y4m"
  # shellcheck disable=SC2086
  "$driver" "$clips/$clip" "$work/full.3gp" $phone fastdecode 0
  # shellcheck disable=SC2086
  "$driver" "$clips/$clip" "$work/fast.3gp" $phone
  read -r fp fs < <(compare "$work/full.3gp")
  read -r qp qs < <(compare "$work/fast.3gp")
  printf '%-16s %12.2f / %.4f %12.2f / %.4f %+7.2f / %+.4f\n' "$clip" "$fp" "$fs" "$qp" "$qs" \
    "$(echo "$qp - $fp" | bc -l)" "$(echo "$qs - $fs" | bc -l)"
done
