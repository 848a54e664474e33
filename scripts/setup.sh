#!/usr/bin/env bash
# Installs every Debian package that building, the sample collection and the tests need,
# then configures and builds Glimmerby into build/. Run as root or with sudo.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
packages=(
    build-essential cmake pkg-config
    qt6-base-dev libqt6opengl6-dev
    libmpv-dev libturbojpeg0-dev libexif-dev libfluidsynth-dev timgm6mb-soundfont
    xvfb xauth libgl1-mesa-dri dbus-daemon at-spi2-core xdotool
    libgif-dev libffmpegthumbnailer-dev libwebp-dev libheif-dev libavcodec-dev libavutil-dev libpng-dev qt6-svg-dev qt6-image-formats-plugins
    libglib2.0-dev libglib2.0-bin
    ffmpeg imagemagick libjpeg-turbo-progs libvips-tools libheif-examples
    desktop-file-utils xdotool xdg-user-dirs
    pulseaudio # a private sound server (null sink) for the MIDI device test and the soak
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j"$(nproc)"
