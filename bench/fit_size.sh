#!/usr/bin/env bash
# Fitting into a size: varied clips made here, each made to fit 300k, 600k
# and 1M with --size. Reports the share of files at or under the limit, the
# fill (size / limit), the processor time against a plain single-pass
# conversion, and
# what the ffmpeg tool makes of the same clip given the same video bit rate
# in one pass (-b:v), with the sound of our file copied in.
# A clip whose picture at the encoder's best quantiser (H.263 q 2) still
# leaves the budget unfilled cannot fill it: it is left out of the fill figures.
# Usage: bench/fit_size.sh [BUILD_DIR [CLIPS_REGEX]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
only=${2:-.}
cli="$build/src/cli/vidora3gp-cli"
[ -x "$cli" ] || { echo "Build first: $cli is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name seconds video-source audio-source ("-" for none)
clips=(
  "still_30s 30 smptebars=size=320x240:rate=25 sine=frequency=440"
  "still_300s 300 smptebars=size=320x240:rate=25 sine=frequency=440"
  "slow_pan_20s 20 testsrc2=size=640x480:rate=25,crop=320:240:t*4:t*2 sine=frequency=330"
  "slow_pan_120s 120 testsrc2=size=640x480:rate=25,crop=320:240:t*2:t sine=frequency=330"
  "busy_10s 10 mandelbrot=size=320x240:rate=25 anoisesrc=color=pink:amplitude=0.3"
  "busy_60s 60 testsrc2=size=320x240:rate=25,noise=alls=20:allf=t sine=frequency=220"
  "noise_15s 15 nullsrc=size=320x240:rate=25,geq=random(1)*255:128:128 anoisesrc=amplitude=0.5"
  "dark_40s 40 testsrc2=size=320x240:rate=25,lutyuv=y=val*0.25 sine=frequency=550"
  "fast_cuts_30s 30 testsrc2=size=320x240:rate=25,hue=h=floor(t*2)*97:s=1+mod(floor(t*2)\\,3),rotate=floor(t*2)*PI/2 sine=frequency=660"
  "cells_45s 45 cellauto=size=320x240:rate=25:rule=110 sine=frequency=880"
  "talk_90s 90 testsrc=size=320x240:rate=15 anoisesrc=color=brown:amplitude=0.2"
  "audio_only_60s 60 - sine=frequency=440:beep_factor=4"
  "audio_only_300s 300 - anoisesrc=color=pink:amplitude=0.2"
)
sizes=(300k 600k 1M)

make_clip() {
  local name=$1 seconds=$2 video=$3 audio=$4 inputs=()
  [ "$video" != - ] && inputs+=(-f lavfi -i "$video")
  inputs+=(-f lavfi -i "$audio")
  ffmpeg -nostdin -v error -y "${inputs[@]}" -t "$seconds" -c:v libx264 -preset ultrafast -crf 16 \
    -pix_fmt yuv420p -c:a aac -b:a 128k -ar 44100 "$work/$name.mp4"
}

bytes() { case $1 in *k) echo $(( ${1%k} * 1000 ));; *M) echo $(( ${1%M} * 1000000 ));; esac; }
# Runs a command and prints the processor seconds it took (user and system):
# steadier than the wall clock on a shared machine.
cpu_seconds() {
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@"
  awk '{print $1 + $2}' "$work/cpu"
}

echo "Making ${#clips[@]} clips..."
for entry in "${clips[@]}"; do
  read -r name seconds video audio <<<"$entry"
  [[ $name =~ $only ]] && make_clip "$name" "$seconds" "$video" "$audio"
done

printf '%-16s %5s %10s %7s %7s %6s  %-22s %s\n' clip limit bytes fill time q2fill "ffmpeg -b:v one pass" note
fills=() ratios=() outputs=0 within=0 overshoots=0 compared=0 refused=0 excluded=""
for entry in "${clips[@]}"; do
  read -r name seconds video audio <<<"$entry"
  [[ $name =~ $only ]] || continue
  clip="$work/$name.mp4"
  single=$(cpu_seconds "$cli" -q --overwrite -o "$work/single.3gp" "$clip")
  for size in "${sizes[@]}"; do
    limit=$(bytes "$size")
    rm -f "$work/fit.3gp"
    status=0
    /usr/bin/time -f '%U %S' -o "$work/cpu" "$cli" -v --overwrite --size "$size" -o "$work/fit.3gp" "$clip" \
      2>"$work/log" || status=$?
    log=$(cat "$work/log")
    took=$(awk '{print $1 + $2}' "$work/cpu")
    if [ ! -f "$work/fit.3gp" ]; then
      refused=$((refused + 1))
      note=$(grep -o 'holds about .*\|lowest quality this picture needs .*' <<<"$log" | head -1 || true)
      printf '%-16s %5s %10s %7s %7s %6s  %-22s %s\n' "$name" "$size" - - - - - "refused (exit $status): $note"
      continue
    fi
    outputs=$((outputs + 1))
    got=$(stat -c %s "$work/fit.3gp")
    [ "$got" -le "$limit" ] && within=$((within + 1))
    fill=$(echo "scale=4; $got / $limit" | bc)
    ratio=$(echo "scale=2; $took / $single" | bc)
    ratios+=("$ratio")
    rate=$(grep -o 'video [0-9]* bit/s' <<<"$log" | head -1 | grep -o "[0-9]*" || true)
    q2="-" plain="-" note=""
    if [ "${rate:-0}" = 0 ]; then
      note="sound only, at the profile's rate or the step that fits"
    else
      fps=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "$work/fit.3gp")
      audio_map=()
      ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$work/fit.3gp" | grep -q . &&
        audio_map=(-map 1:a -c:a copy)
      # The encoder's best quantiser: the most this picture can ever take.
      ffmpeg -nostdin -v error -y -i "$clip" -i "$work/fit.3gp" -map 0:v "${audio_map[@]}" -s 176x144 -r "$fps" \
        -c:v h263 -q:v 2 -shortest "$work/q2.3gp"
      q2=$(echo "scale=2; $(stat -c %s "$work/q2.3gp") / $limit" | bc)
      ffmpeg -nostdin -v error -y -i "$clip" -i "$work/fit.3gp" -map 0:v "${audio_map[@]}" -s 176x144 -r "$fps" \
        -c:v h263 -b:v "$rate" -shortest "$work/plain.3gp"
      plain_size=$(stat -c %s "$work/plain.3gp")
      compared=$((compared + 1))
      plain="$plain_size ($(echo "scale=1; 100 * $plain_size / $limit" | bc) %)"
      [ "$plain_size" -gt "$limit" ] && { overshoots=$((overshoots + 1)); plain="$plain OVER"; }
    fi
    if { [ "$q2" != - ] && [ "$(echo "$q2 < 0.95" | bc)" = 1 ]; } || { [ "$q2" = - ] && [ "$(echo "$fill < 0.95" | bc)" = 1 ]; }; then
      [ "$q2" != - ] && note="best quality (q 2) below budget: left out of fill"
      [ "$q2" = - ] && note="$note: left out of fill"
      excluded="$excluded $name@$size"
    else
      fills+=("$fill")
    fi
    printf '%-16s %5s %10s %6.1f%% %6.2fx %6s  %-22s %s\n' "$name" "$size" "$got" "$(echo "$fill * 100" | bc)" \
      "$ratio" "$q2" "$plain" "$note"
  done
done

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
echo
echo "outputs at or under the limit: $within of $outputs; refused as impossible: $refused"
echo "fill (size / limit) over ${#fills[@]} outputs: median $(printf '%s\n' "${fills[@]}" | median), lowest $(printf '%s\n' "${fills[@]}" | sort -n | head -1)"
echo "left out of fill (best quantiser below budget):${excluded:- none}"
echo "processor time against one single-pass conversion: median $(printf '%s\n' "${ratios[@]}" | median)x, highest $(printf '%s\n' "${ratios[@]}" | sort -n | tail -1)x"
echo "ffmpeg tool, one pass at the same -b:v: $overshoots of $compared over the limit"
