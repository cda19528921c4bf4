# Helpers shared by the benchmarks: a scratch folder, the source clip,
# measuring, medians.

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Makes $work/source.mp4: 60 s of 640x360 30 fps H.264 with stereo AAC.
make_source() {
  echo "Making a 60-second 640x360 30 fps H.264/AAC clip..."
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=30:duration=60 \
    -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=60" -ac 2 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k -shortest "$work/source.mp4"
}

# Runs a command and prints "seconds peak_kib cpu_seconds" (CPU: user and system).
measure() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.perf_counter() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{wall:.3f} {usage.ru_maxrss} {usage.ru_utime + usage.ru_stime:.3f}")
PY
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
