#!/usr/bin/env bash
# Checks a release the way a user meets it: a clean clone of the committed
# tree, the README's two commands, the Debian package built and checked by
# the desktop's and Debian's validators, installed into this machine, used
# from another folder, and removed again. Prints one line per step and stops
# with a non-zero status at the first step that fails (its log's end follows).
# It installs into the system: run it as root (or with sudo), never from CI.
#
# Environment:
#   RELEASE_CHECK_SKIP_README=1  skip the README's run and test commands (the
#                                test command takes long); the package is then
#                                built by a plain configure and build
#   RELEASE_CHECK_KEEP=1         keep the clone and the logs afterwards
# Usage: tools/release-check.sh
set -uo pipefail

source_repo=$(cd "$(dirname "$0")/.." && git rev-parse --show-toplevel)
branch=$(git -C "$source_repo" rev-parse --abbrev-ref HEAD)
work=$(mktemp -d /tmp/vidora-release.XXXXXX)
clone=$work/clone
logs=$work/logs
elsewhere=$work/elsewhere
mkdir -p "$logs" "$elsewhere"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
installed_by_us=0
step_number=0

finish() {
  [ "$installed_by_us" -eq 1 ] && "${sudo[@]}" dpkg -r vidora3gp >/dev/null 2>&1
  if [ "${RELEASE_CHECK_KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap finish EXIT

# step NAME COMMAND...: runs COMMAND with its output in a log; one line for it.
step() {
  local name=$1
  shift
  step_number=$((step_number + 1))
  local log=$logs/$step_number.log started=$SECONDS
  if "$@" >"$log" 2>&1; then
    printf 'ok    %-44s %4ds\n' "$name" $((SECONDS - started))
  else
    printf 'FAIL  %-44s %4ds\n' "$name" $((SECONDS - started))
    tail -n 30 "$log" | sed 's/^/      /'
    exit 1
  fi
}
skip() { printf 'skip  %s\n' "$1"; }

package() { ls "$clone"/build/vidora3gp_*.deb; }

media_not_linked() {
  local program
  for program in "$clone"/build/src/program/vidora3gp "$clone"/build/src/cli/vidora3gp-cli; do
    readelf -d "$program" | grep NEEDED
    ! readelf -d "$program" | grep -E 'NEEDED.*\[lib(av|sw|SDL)' || return 1
  done
}

# The packaged files, unpacked, for the validators.
unpack() { dpkg-deb -x "$(package)" "$work/unpacked"; }

converts_elsewhere() {
  cd "$elsewhere" || return 1
  cp "$clone/build/sample/sample.mp4" .
  local found
  found=$(command -v vidora3gp-cli)
  [ "$found" = /usr/bin/vidora3gp-cli ] || { echo "vidora3gp-cli is \"$found\", not the package's /usr/bin/vidora3gp-cli"; return 1; }
  vidora3gp-cli sample.mp4 || return 1
  ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels:format=duration \
    -of compact=p=0 "sample_(Vidora)_3GP.3gp"
}

install_package() {
  "${sudo[@]}" dpkg -i "$(package)" && installed_by_us=1
}

remove_package() {
  "${sudo[@]}" dpkg -r vidora3gp && installed_by_us=0
  ! dpkg-query -W -f='${Status}' vidora3gp 2>/dev/null | grep -q 'install ok installed'
}

step "clean clone of $branch" git clone --quiet --branch "$branch" "$source_repo" "$clone"
cd "$clone" || exit 1
if [ "${RELEASE_CHECK_SKIP_README:-0}" = 1 ]; then
  skip "./vidora.sh run (RELEASE_CHECK_SKIP_README)"
  skip "./vidora.sh test (RELEASE_CHECK_SKIP_README)"
  step "build" sh -c 'cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build build -j2'
  step "sample clip" tools/make_sample.sh build/sample/sample.mp4
else
  step "./vidora.sh run" env -u DISPLAY -u WAYLAND_DISPLAY ./vidora.sh run
  step "./vidora.sh test" ./vidora.sh test
fi
step "package (cpack -G DEB)" sh -c 'cd build && cpack -G DEB'
step "no media library linked (readelf -d)" media_not_linked
step "unpack the package" unpack
step "desktop-file-validate" desktop-file-validate "$work"/unpacked/usr/share/applications/vidora3gp.desktop
step "appstreamcli validate" appstreamcli validate --no-net "$work"/unpacked/usr/share/metainfo/org.vidora.vidora3gp.metainfo.xml
step "lintian (no errors)" lintian --fail-on error "$(package)"
step "dpkg -i $(basename "$(package)")" install_package
step "vidora3gp-cli --libraries (another folder)" sh -c "cd '$elsewhere' && vidora3gp-cli --libraries"
step "convert the sample (another folder)" converts_elsewhere
step "dpkg -r vidora3gp" remove_package
echo "release check passed"
