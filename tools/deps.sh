#!/bin/bash
# Installs what building, running and testing need, from Debian's packages.
# Only missing packages are installed.
set -euo pipefail

packages=(
    cmake g++ make ninja-build pkg-config
    wine64 libwine-dev wine64-tools
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
    libgtest-dev
    xvfb x11-utils imagemagick
    ffmpeg lhasa time
    giflib-tools libgif-dev gifsicle netpbm clang-14 libclang-rt-14-dev
    # Wine's media player plays through Wine's filter graph, whose splitters
    # and decoders are GStreamer's (AVI, MPEG program streams, ASF/WMV).
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
