#!/bin/bash
# Source files for the conversion tests, made by the ffmpeg command line
# rather than by the project's own clip writer: odd 16:9 frame sizes with
# and without sound, the three source containers, a long clip to stop
# half way and a lossless clip to compare pictures with.
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
ff() { ffmpeg -nostdin -v error -y "$@"; }
# testsrc keeps odd sizes (testsrc2 rounds them to even ones).
pattern() { echo "testsrc=size=$1:rate=${2:-25}"; }
tone="sine=frequency=440:sample_rate=44100"

for size in 720x405 721x405 853x480; do
    ff -f lavfi -i "$(pattern $size)" -f lavfi -i "$tone" -t 0.6 -ac 2 \
        -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k "$out/odd_${size}.avi"
    ff -f lavfi -i "$(pattern $size)" -t 0.6 -c:v mpeg4 -q:v 3 "$out/odd_${size}_silent.avi"
done

ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$tone" -t 3 -ac 2 \
    -c:v mpeg4 -q:v 4 -c:a libmp3lame "$out/play.avi"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$tone" -t 3 -ac 2 \
    -c:v mpeg1video -b:v 800k -c:a mp2 -f mpeg "$out/play.mpg"
ff -f lavfi -i "$(pattern 320x240)" -f lavfi -i "$tone" -t 3 -ac 2 \
    -c:v wmv2 -b:v 800k -c:a wmav2 "$out/play.wmv"

ff -f lavfi -i "$(pattern 640x480)" -f lavfi -i "$tone" -t 20 -ac 2 \
    -c:v mpeg4 -q:v 5 -c:a libmp3lame "$out/long_640x480.avi"

# Lossless, so that the source frames are known exactly.
ff -f lavfi -i "$(pattern 176x144)" -t 1 -c:v ffv1 "$out/exact_176x144.avi"
