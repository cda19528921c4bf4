#!/usr/bin/env bash
# Burning 30 subtitles into the 60-second clip: our converter against the
# ffmpeg tool's subtitles filter, run alternately, five times each. Prints the
# ratio of medians (ours / ffmpeg) of wall time and of peak resident memory.
# Usage: bench/burnin_vs_ffmpeg.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/vidora3gp-cli"
[ -x "$cli" ] || { echo "Build first: $cli is missing" >&2; exit 1; }
# shellcheck source=bench/common.sh
source bench/common.sh
make_source

# One subtitle every two seconds, shown for a second and a half.
for i in $(seq 0 29); do
  printf '%d\r\n00:00:%02d,000 --> 00:00:%02d,500\r\nSubtitle number %d of the test,|on two lines\r\n\r\n' \
    $((i + 1)) $((i * 2)) $((i * 2 + 1)) $((i + 1))
done > "$work/subs.srt"

ours_times=() ours_rss=() ff_times=() ff_rss=()
for round in 1 2 3 4 5; do
  rm -f "$work/ours.3gp"
  read -r t m _ < <(measure "$cli" -q --set AudioCodec=aac -o "$work/ours.3gp" "$work/source.mp4" "$work/subs.srt")
  ours_times+=("$t"); ours_rss+=("$m")
  read -r t m _ < <(measure ffmpeg -nostdin -v error -y -i "$work/source.mp4" \
    -vf "subtitles=$work/subs.srt,scale=176:144" -c:v h263 -b:v 150k -c:a aac -ar 8000 -ac 1 "$work/theirs.3gp")
  ff_times+=("$t"); ff_rss+=("$m")
done
ot=$(printf '%s\n' "${ours_times[@]}" | median); ft=$(printf '%s\n' "${ff_times[@]}" | median)
om=$(printf '%s\n' "${ours_rss[@]}" | median); fm=$(printf '%s\n' "${ff_rss[@]}" | median)
printf 'Burn-in, 176x144 H.263 150 kbit/s, AAC 8000 Hz mono, 30 subtitles\n'
printf '  wall: ours %.2f s, ffmpeg %.2f s, ratio %.3f\n  peak RSS: ours %d KiB, ffmpeg %d KiB, ratio %.3f\n' \
  "$ot" "$ft" "$(echo "$ot / $ft" | bc -l)" "$om" "$fm" "$(echo "$om / $fm" | bc -l)"
