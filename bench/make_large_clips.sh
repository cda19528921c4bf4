#!/usr/bin/env bash
# Makes the large sources of the engine benchmark: pictures far bigger than a
# phone's, in the codecs cameras, broadcasts and web sites give. Clips that
# are already there are kept: making them takes minutes. Each is written
# under a scratch name first, so a cut-off run leaves no half clip behind.
# Usage: bench/make_large_clips.sh FOLDER
set -euo pipefail
out=${1:?folder}
mkdir -p "$out"
cd "$out"
# ff NAME ARGUMENTS...: makes the clip NAME unless it is there.
ff() {
  local name=$1
  shift
  [ -s "$name" ] && return
  ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "part.$name" && mv "part.$name" "$name"
}
tone() { echo "sine=frequency=330:sample_rate=$1:duration=$2"; }

# Camera-like: a panning pattern over a zooming fractal, with sensor grain.
camera() {
  local size=$1 rate=$2 duration=$3
  local w=${size%x*} h=${size#*x}
  echo "testsrc2=size=$((w * 7 / 6))x$((h * 7 / 6)):rate=$rate:duration=$duration,crop=$w:$h:'$((w / 12))+$((w / 13))*sin(t/3)':'$((h / 12))+$((h / 14))*sin(t/4)'[pan];
mandelbrot=size=$((w / 3))x$((h / 3)):rate=$rate:maxiter=1000,scale=$w:$h,trim=duration=$duration[zoom];
[pan][zoom]blend=all_mode=average,noise=alls=6:allf=t+u,format=yuv420p"
}

ff h264_1080p.mp4 -f lavfi -i "$(camera 1920x1080 30 30)" -f lavfi -i "$(tone 44100 30)" -ac 2 \
  -c:v libx264 -preset veryfast -crf 21 -c:a aac -b:a 128k -shortest
# A phone's 60 pictures a second, twice what the phone profile keeps.
ff h264_1080p60.mp4 -f lavfi -i "$(camera 1920x1080 60 15)" -f lavfi -i "$(tone 48000 15)" -ac 2 \
  -c:v libx264 -preset veryfast -crf 21 -c:a aac -b:a 128k -shortest
ff hevc_1080p.mp4 -f lavfi -i "$(camera 1920x1080 30 20)" -f lavfi -i "$(tone 48000 20)" -ac 2 \
  -c:v libx265 -preset ultrafast -crf 24 -tag:v hvc1 -x265-params log-level=error -c:a aac -b:a 128k -shortest
# Broadcast: interlaced, top field first, with MPEG audio.
ff mpeg2_576i.mpg -f lavfi -i "$(camera 720x576 25 20),setfield=tff" -f lavfi -i "$(tone 48000 20)" -ac 2 \
  -c:v mpeg2video -b:v 6M -maxrate 8M -bufsize 1835k -flags +ilme+ildct -top 1 -c:a mp2 -b:a 192k -shortest
ff vp9_720p.webm -f lavfi -i "$(camera 1280x720 30 20)" -f lavfi -i "$(tone 48000 20)" -ac 2 \
  -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2500k -row-mt 1 -c:a libopus -b:a 96k -shortest
