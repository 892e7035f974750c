#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need, from Debian only.
# Idempotent: does nothing when all packages are already there.
set -euo pipefail

native_pkgs=(
  g++ cmake ninja-build make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools mingw-w64-i686-dev
  libwine-dev
  wine wine32:i386
  xvfb xauth x11-utils
  pulseaudio pulseaudio-utils libpulse0:i386
  ffmpeg
  libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  python3 curl socat gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for p in "${native_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
