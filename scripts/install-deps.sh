#!/usr/bin/env bash
# Installs every Debian package vimra needs to build, run and test.
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-translations-l10n
  qt6-multimedia-dev libqt6multimedia6 libqt6multimediawidgets6
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-plugins-bad
  libgstreamer1.0-dev
  libxml2-dev libxml2-utils libpng-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev libgmock-dev
  ffmpeg xvfb xauth imagemagick x11-apps
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: installing the missing packages needs root, and sudo is not installed; run this as root (missing: ${missing[*]})." >&2
    exit 1
  fi
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
