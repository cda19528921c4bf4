#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it as a user would: the
# installed converter, run from another folder, must find its skin in the
# installed data folder and convert as the built one does; the desktop entry,
# metadata, icons and manuals must be in place.
# Usage: install_test.sh BUILD_DIR CLIP
set -euo pipefail

# The phone skin the installed converter is asked for.
SKIN=Wide320

build=$(cd "${1:?build folder}" && pwd)
clip=${2:?clip}
# Outside the build folder: a program there may fall back on the source tree's data.
scratch=$(mktemp -d /tmp/vidora-install-test.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/vidora3gp bin/vidora3gp-cli share/vidora3gp/help.html "share/vidora3gp/Skins/$SKIN/skin.all" \
            share/applications/vidora3gp.desktop share/metainfo/org.vidora.vidora3gp.metainfo.xml \
            share/icons/hicolor/scalable/apps/vidora3gp.svg share/icons/hicolor/48x48/apps/vidora3gp.png \
            share/icons/hicolor/128x128/apps/vidora3gp.png share/icons/hicolor/256x256/apps/vidora3gp.png \
            share/man/man1/vidora3gp.1.gz share/man/man1/vidora3gp-cli.1.gz; do
  [ -s "$prefix/$file" ] || fail "not installed: $file"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vidora3gp.desktop" || fail "the desktop entry does not validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.vidora.vidora3gp.metainfo.xml" >/dev/null ||
    fail "the AppStream metadata does not validate"
fi

# What ffprobe reads in the one output a conversion in FOLDER left.
probe() {
  local outputs=("$1"/clip_\(Vidora*)
  [ ${#outputs[@]} -eq 1 ] && [ -s "${outputs[0]}" ] || fail "expected one output in $1, found: ${outputs[*]}"
  ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels -of compact=p=0 "${outputs[0]}"
}
# convert PROGRAM FOLDER: converts a copy of the clip in FOLDER, with FOLDER as
# the working folder and a home that holds no skins of its own.
convert() {
  mkdir -p "$2" "$scratch/home"
  cp "$clip" "$2/clip.mp4"
  (cd "$2" && env -u XDG_DATA_HOME HOME="$scratch/home" "$1" -q --skin "$SKIN" clip.mp4) ||
    fail "$1 --skin $SKIN failed"
}

convert "$build/src/cli/vidora3gp-cli" "$scratch/built"
convert "$prefix/bin/vidora3gp-cli" "$scratch/installed"
expected=$(probe "$scratch/built")
actual=$(probe "$scratch/installed")
[ "$actual" = "$expected" ] || fail "the installed converter wrote \"$actual\", the built one \"$expected\""
echo "installed converter with skin $SKIN: $actual" | tr '\n' ' '
echo
