#!/usr/bin/env bash
# Makes the sample clip the run command converts: 6 seconds of moving colour
# bars with a tone, 640x360 at 30 frames/s, H.264 and AAC.
# Usage: make_sample.sh OUTPUT_FILE
set -euo pipefail
out=${1:?output file}
mkdir -p "$(dirname "$out")"
[ -s "$out" ] && exit 0
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i testsrc2=size=640x360:rate=30:duration=6 \
  -f lavfi -i "sine=frequency=523:sample_rate=44100:duration=6" -ac 2 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k -shortest "$out"
