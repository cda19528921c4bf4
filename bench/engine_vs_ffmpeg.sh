#!/usr/bin/env bash
# The engine against the ffmpeg command-line tool on the same conversions, run
# alternately, five times each. Prints the ratio of medians (ours / ffmpeg)
# of wall time, CPU time and peak resident memory.
# Usage: bench/engine_vs_ffmpeg.sh [BUILD_DIR [CLIP_FOLDER [CASES]]]
#   BUILD_DIR: default build. CLIP_FOLDER: where the large clips are kept
#   between runs (made when missing; default: a scratch folder).
#   CASES: an extended regular expression; only cases whose title matches run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
driver="$build/bench/convert_driver"
[ -x "$driver" ] || { echo "Build first: $driver is missing" >&2; exit 1; }

# shellcheck source=bench/common.sh
source bench/common.sh
make_source
clips=${2:-$work/clips}
only=${3:-.}
echo "Making the large clips in $clips (kept when already there)..."
bench/make_large_clips.sh "$clips"

# The default phone profile, with AAC for AMR-NB, which the ffmpeg tool lacks.
phone="s 176x144 b 150000 acodec aac ar 8000 ac 1 ab 12200"
phone_ffmpeg="-s 176x144 -b:v 150000 -c:a aac -ar 8000 -ac 1 -b:a 12200"

# The ffmpeg tool's output "null" writes nothing: it decodes and scales only.
run_case() {
  local name=$1 source=$2 ours_options=$3 ffmpeg_options=$4 extension=$5
  [[ $name =~ $only ]] || return 0
  local ours_times=() ours_rss=() ours_cpu=() ff_times=() ff_rss=() ff_cpu=() theirs=("$work/theirs.$extension")
  [ "$extension" = null ] && theirs=(-f null -)
  for round in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    read -r t m c < <(measure "$driver" "$source" "$work/ours.${extension/null/3gp}" $ours_options)
    ours_times+=("$t"); ours_rss+=("$m"); ours_cpu+=("$c")
    # shellcheck disable=SC2086
    read -r t m c < <(measure ffmpeg -nostdin -v error -y -i "$source" $ffmpeg_options "${theirs[@]}")
    ff_times+=("$t"); ff_rss+=("$m"); ff_cpu+=("$c")
  done
  local ot ft oc fc om fm
  ot=$(printf '%s\n' "${ours_times[@]}" | median); ft=$(printf '%s\n' "${ff_times[@]}" | median)
  oc=$(printf '%s\n' "${ours_cpu[@]}" | median); fc=$(printf '%s\n' "${ff_cpu[@]}" | median)
  om=$(printf '%s\n' "${ours_rss[@]}" | median); fm=$(printf '%s\n' "${ff_rss[@]}" | median)
  # The machine's load at the end: on shared cores the wall ratio means little without it.
  printf '%s\n  wall: ours %.2f s, ffmpeg %.2f s, ratio %.3f\n  CPU: ours %.2f s, ffmpeg %.2f s, ratio %.3f\n  peak RSS: ours %d KiB, ffmpeg %d KiB, ratio %.3f\n  load: %s\n' \
    "$name" "$ot" "$ft" "$(echo "$ot / $ft" | bc -l)" "$oc" "$fc" "$(echo "$oc / $fc" | bc -l)" \
    "$om" "$fm" "$(echo "$om / $fm" | bc -l)" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

# (c): case (a) with an input hook like a subtitle renderer's, against case (a) without.
hook_case() {
  [[ "(c) hook" =~ $only ]] || return 0
  local plain=() hooked=()
  for round in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    read -r t _ < <(measure "$driver" "$work/source.mp4" "$work/plain.3gp" $phone)
    plain+=("$t")
    # shellcheck disable=SC2086
    read -r t _ < <(measure "$driver" --text-hook "$work/source.mp4" "$work/hooked.3gp" $phone)
    hooked+=("$t")
  done
  local pt ht
  pt=$(printf '%s\n' "${plain[@]}" | median); ht=$(printf '%s\n' "${hooked[@]}" | median)
  printf '(c) case (a) with a text-line input hook on one picture in ten\n  wall: hooked %.2f s, plain %.2f s, ratio %.3f\n' \
    "$ht" "$pt" "$(echo "$ht / $pt" | bc -l)"
}

run_case "(a) 176x144 H.263 150 kbit/s, AAC 8000 Hz mono" "$work/source.mp4" "$phone" "$phone_ffmpeg" 3gp
run_case "(b) 320x240 MPEG-4 512 kbit/s 25 fps, AAC 22050 Hz stereo 96 kbit/s" "$work/source.mp4" \
  "vcodec mpeg4 s 320x240 b 512000 r 25 acodec aac ar 22050 ac 2 ab 96000" \
  "-c:v mpeg4 -s 320x240 -b:v 512000 -r 25 -c:a aac -ar 22050 -ac 2 -b:a 96000" mp4
hook_case
# Large sources to the phone profile.
run_case "(d) 1080p H.264 30 s camera-like to the phone profile" "$clips/h264_1080p.mp4" "$phone" "$phone_ffmpeg" 3gp
run_case "(e) 1080p HEVC to the phone profile" "$clips/hevc_1080p.mp4" "$phone" "$phone_ffmpeg" 3gp
run_case "(f) 720x576 interlaced MPEG-2 to the phone profile" "$clips/mpeg2_576i.mpg" "$phone" \
  "-vf yadif=deint=interlaced $phone_ffmpeg" 3gp
run_case "(g) 1280x720 VP9 to the phone profile" "$clips/vp9_720p.webm" "$phone" "$phone_ffmpeg" 3gp
# 60 pictures a second: the ffmpeg tool keeps H.263's 30000/1001 too only when told.
run_case "(j) 1080p 60 fps H.264 to the phone profile" "$clips/h264_1080p60.mp4" "$phone" \
  "-r 30000/1001 $phone_ffmpeg" 3gp
# The floor of a full decode: the ffmpeg tool only decodes and scales, writing nothing.
run_case "(h) case (d) against the ffmpeg tool decoding and scaling only" "$clips/h264_1080p.mp4" "$phone" \
  "-an -s 176x144" null
# What the fast decoding of large sources gains: case (d) with it switched off.
run_case "(i) case (d) with fastdecode 0" "$clips/h264_1080p.mp4" "$phone fastdecode 0" "$phone_ffmpeg" 3gp
