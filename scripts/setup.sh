#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the examples need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-svg-dev libxkbcommon-dev qt6-charts-dev
  # The symbolic icons bundled into the program.
  adwaita-icon-theme
  libgsf-1-dev libfmt-dev libcli11-dev
  # Study files (JSON) and studies spread over SSH logins (vemto-cli study --parallel).
  nlohmann-json3-dev parallel
  libgtest-dev libgmock-dev libbenchmark-dev
  libeigen3-dev libsuitesparse-dev
  # Optimised single-threaded BLAS behind the sparse factorisation (the reference
  # BLAS that libsuitesparse-dev pulls in is several times slower).
  libopenblas0-serial
  python3 python3-olefile python3-meshio libole-storage-lite-perl
  clang libclang-rt-14-dev
  xvfb xdotool imagemagick
  # Pictures of printed pages (scripts/screenshots.sh).
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -q
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi
