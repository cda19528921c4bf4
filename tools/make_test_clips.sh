#!/usr/bin/env bash
# Makes the short media clips the tests read, from the ffmpeg tool's own
# synthetic sources. Usage: make_test_clips.sh OUTPUT_FOLDER
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# 3 s of colour bars with a moving counter and a 440 Hz tone: the ordinary clip.
ff -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 \
   -ac 2 -c:v mpeg4 -q:v 5 -c:a aac -b:a 96k -shortest clip.mp4
# Two short parts for joining.
ff -f lavfi -i testsrc=size=176x144:rate=25:duration=1 -f lavfi -i sine=frequency=300:duration=1 \
   -c:v mpeg4 -c:a aac -shortest part1.mp4
ff -f lavfi -i testsrc=size=176x144:rate=25:duration=2 -f lavfi -i sine=frequency=600:duration=2 \
   -c:v mpeg4 -c:a aac -shortest part2.mp4
# Sound only, and picture only.
ff -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=2 tone.wav
ff -f lavfi -i testsrc=size=176x144:rate=25:duration=1 -c:v mpeg4 -an picture.avi
# Bad inputs: nothing, a cut-off file, noise.
: > empty.mp4
head -c 3000 clip.mp4 > truncated.mp4
# Noise, the same every time (fixed seeds): random bytes now and then look like some raw stream.
noise() { LC_ALL=C awk -v seed="$1" -v count="$2" 'BEGIN { srand(seed); for (i = 0; i < count; ++i) printf "%c", 1 + int(rand() * 255) }'; }
noise 42 65536 > noise.mp4
# An AVI to damage: one with 4 KiB of noise in the middle, one cut off at 60 %.
ff -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=frequency=440:duration=3 \
   -c:v mpeg4 -q:v 5 -c:a pcm_s16le -shortest clip.avi
size=$(stat -c %s clip.avi)
cp clip.avi corrupt.avi
noise 7 4096 | dd of=corrupt.avi bs=1 seek=$((size / 2)) conv=notrunc status=none
head -c $((size * 6 / 10)) clip.avi > truncated.avi
# A stream whose picture size changes half-way, and a slow (10 frames/s) one.
ff -f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mpeg2video -q:v 4 -f mpegts size1.ts
ff -f lavfi -i testsrc=size=176x144:rate=25:duration=1 -c:v mpeg2video -q:v 4 -f mpegts size2.ts
cat size1.ts size2.ts > sizechange.ts
rm size1.ts size2.ts
ff -f lavfi -i testsrc=size=176x144:rate=10:duration=2 -c:v mpeg4 slow.avi
# Sound that starts half a second after the picture.
ff -f lavfi -i testsrc=size=176x144:rate=25:duration=2 -itsoffset 0.5 -f lavfi -i sine=frequency=500:duration=1.5 \
   -c:v mpeg4 -c:a aac late_audio.mp4
# Pictures with two text subtitles.
printf '1\n00:00:00,500 --> 00:00:01,500\nHello phone\n\n2\n00:00:02,000 --> 00:00:02,800\nSecond line\n' > subtitles.srt
ff -f lavfi -i testsrc=size=176x144:duration=3 -i subtitles.srt -c:v mpeg4 -c:s srt subtitled.mkv
ff -i subtitles.srt -c:s srt subtitles_only.mkv
ff -f lavfi -i testsrc=size=176x144:duration=2 -f lavfi -i sine=duration=2 -i subtitles.srt -map 0 -map 1 -map 2 -c:v mpeg4 -c:a aac -c:s srt -shortest all_kinds.mkv
# A still picture, and a file whose tags carry ID3v2 frame names.
ff -f lavfi -i testsrc=size=160x120 -frames:v 1 still.jpg
ff -f lavfi -i sine=duration=1 -metadata TALB=Holiday -metadata TIT2=Song -metadata TPE1=Band tagged.mkv
# A transport stream, which can be sought by byte.
ff -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -c:v mpeg2video -g 12 -q:v 4 -f mpegts clip.ts
# Plain mid-grey picture, where burned-in text stands out.
ff -f lavfi -i color=c=0x808080:size=320x240:rate=25:duration=4 -f lavfi -i sine=frequency=440:duration=4 \
   -c:v mpeg4 -q:v 3 -c:a aac -shortest grey.mp4
ff -f lavfi -i sine=frequency=700:duration=1 -c:a libmp3lame second.mp3
# Songs with cover art: an attached picture beside the sound; and one beside a video.
ff -f lavfi -i testsrc=size=64x64 -frames:v 1 cover.png
ff -f lavfi -i sine=frequency=500:duration=2 -c:a libmp3lame song.mp3
ff -i song.mp3 -i cover.png -map 0 -map 1 -c copy -disposition:v attached_pic song_cover.mp3
ff -i song.mp3 -i cover.png -map 0 -map 1 -c:a flac -c:v copy -disposition:v attached_pic song_cover.flac
ff -i song.mp3 -i cover.png -map 0 -map 1 -c:a aac -c:v copy -disposition:v attached_pic song_cover.m4a
ff -i picture.avi -i cover.png -map 0 -map 1 -c copy -disposition:v:1 attached_pic picture_cover.mp4
# One picture, and one picture a second.
ff -f lavfi -i testsrc=size=176x144:rate=25 -frames:v 1 -c:v mpeg4 one_frame.mp4
ff -f lavfi -i testsrc=size=176x144:rate=1:duration=5 -c:v mpeg4 one_per_second.mp4
# Sound whose packets are damaged now and then: its decoder complains while it plays.
ff -f lavfi -i sine=frequency=440:duration=6 -c:a mp2 -bsf:a noise=amount=20 damaged_sound.mkv
