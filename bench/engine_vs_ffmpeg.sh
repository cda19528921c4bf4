#!/usr/bin/env bash
# The engine against the ffmpeg command-line tool on the same conversions, run
# alternately, five times each. Prints the ratio of medians (ours / ffmpeg)
# of wall time and of peak resident memory.
# Usage: bench/engine_vs_ffmpeg.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
driver="$build/bench/convert_driver"
[ -x "$driver" ] || { echo "Build first: $driver is missing" >&2; exit 1; }

# shellcheck source=bench/common.sh
source bench/common.sh
make_source

run_case() {
  local name=$1 ours_options=$2 ffmpeg_options=$3 extension=$4
  local ours_times=() ours_rss=() ff_times=() ff_rss=()
  for round in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    read -r t m < <(measure "$driver" "$work/source.mp4" "$work/ours.$extension" $ours_options)
    ours_times+=("$t"); ours_rss+=("$m")
    # shellcheck disable=SC2086
    read -r t m < <(measure ffmpeg -nostdin -v error -y -i "$work/source.mp4" $ffmpeg_options "$work/theirs.$extension")
    ff_times+=("$t"); ff_rss+=("$m")
  done
  local ot ft om fm
  ot=$(printf '%s\n' "${ours_times[@]}" | median); ft=$(printf '%s\n' "${ff_times[@]}" | median)
  om=$(printf '%s\n' "${ours_rss[@]}" | median); fm=$(printf '%s\n' "${ff_rss[@]}" | median)
  printf '%s\n  wall: ours %.2f s, ffmpeg %.2f s, ratio %.3f\n  peak RSS: ours %d KiB, ffmpeg %d KiB, ratio %.3f\n' \
    "$name" "$ot" "$ft" "$(echo "$ot / $ft" | bc -l)" "$om" "$fm" "$(echo "$om / $fm" | bc -l)"
}

# (c): case (a) with an input hook like a subtitle renderer's, against case (a) without.
hook_case() {
  local plain=() hooked=()
  local options="s 176x144 b 150000 acodec aac ar 8000 ac 1 ab 12200"
  for round in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    read -r t _ < <(measure "$driver" "$work/source.mp4" "$work/plain.3gp" $options)
    plain+=("$t")
    # shellcheck disable=SC2086
    read -r t _ < <(measure "$driver" --text-hook "$work/source.mp4" "$work/hooked.3gp" $options)
    hooked+=("$t")
  done
  local pt ht
  pt=$(printf '%s\n' "${plain[@]}" | median); ht=$(printf '%s\n' "${hooked[@]}" | median)
  printf '(c) case (a) with a text-line input hook on one picture in ten\n  wall: hooked %.2f s, plain %.2f s, ratio %.3f\n' \
    "$ht" "$pt" "$(echo "$ht / $pt" | bc -l)"
}

run_case "(a) 176x144 H.263 150 kbit/s, AAC 8000 Hz mono" \
  "s 176x144 b 150000 acodec aac ar 8000 ac 1 ab 12200" \
  "-s 176x144 -b:v 150000 -c:a aac -ar 8000 -ac 1 -b:a 12200" 3gp
run_case "(b) 320x240 MPEG-4 512 kbit/s 25 fps, AAC 22050 Hz stereo 96 kbit/s" \
  "vcodec mpeg4 s 320x240 b 512000 r 25 acodec aac ar 22050 ac 2 ab 96000" \
  "-c:v mpeg4 -s 320x240 -b:v 512000 -r 25 -c:a aac -ar 22050 -ac 2 -b:a 96000" mp4
hook_case
