#!/bin/bash
# Seed inputs for the fuzz targets, made by the FFmpeg command line:
#   seeds.sh <folder>   writes <folder>/open and <folder>/sizes once
set -eu
out=${1:?usage: seeds.sh <folder>}
mkdir -p "$out/open" "$out/sizes"
ff() { ffmpeg -nostdin -v error -y "$@"; }
src=(-f lavfi -i testsrc=size=32x24:rate=25 -f lavfi -i sine=frequency=440:sample_rate=22050 -t 0.5)
[ -s "$out/open/clip.avi" ] || ff "${src[@]}" -c:v mpeg4 -c:a libmp3lame -ac 2 "$out/open/clip.avi"
[ -s "$out/open/raw.avi" ] || ff "${src[@]}" -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le "$out/open/raw.avi"
[ -s "$out/open/clip.wmv" ] || ff "${src[@]}" -c:v wmv2 -c:a wmav2 "$out/open/clip.wmv"
[ -s "$out/open/clip.mpg" ] || ff "${src[@]}" -c:v mpeg1video -c:a mp2 -f mpeg "$out/open/clip.mpg"
[ -s "$out/open/clip.vob" ] || ff "${src[@]}" -c:v mpeg2video -c:a mp2 -f vob "$out/open/clip.vob"
[ -s "$out/open/video.m2v" ] || ff -f lavfi -i testsrc=size=32x24:rate=25 -t 0.5 -c:v mpeg2video -f mpeg2video "$out/open/video.m2v"
[ -s "$out/open/sound.mpa" ] || ff -f lavfi -i sine=frequency=440:sample_rate=22050 -t 0.5 -c:a mp2 -f mp2 "$out/open/sound.mpa"
# Sizes: source and target sides, chroma format, encoder, then pixels.
for s in "0 0 0 0 0 0" "1 1 16 16 1 2" "15 16 63 63 2 3" "63 63 0 0 3 4" "6 2 40 7 4 5" "16 8 3 1 0 6" "7 7 7 7 1 7" "2 30 30 2 2 1"; do
    name="$out/sizes/$(echo "$s" | tr ' ' '_')"
    [ -s "$name" ] && continue
    { printf '%b' "$(printf '\\x%02x' $s)"; head -c 600 "$out/open/clip.avi"; } >"$name"
done
