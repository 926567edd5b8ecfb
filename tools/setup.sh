#!/usr/bin/env bash
# Installs every Debian package that building, playing and testing Quillfen need.
# Does nothing when they are all there already. Run as root on Debian 12.
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    libglfw3-dev libepoxy-dev libglm-dev libstb-dev libfreetype-dev libassimp-dev libbullet-dev
    libopenal-dev libsndfile1-dev
    googletest libgtest-dev
    xvfb xauth libgl1-mesa-dri
    fonts-freefont-otf
    xdotool x11-utils imagemagick python3
    gettext
    dpkg-dev desktop-file-utils appstream man-db lintian
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
