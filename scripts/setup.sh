#!/bin/sh
# Installs every Debian package the project needs (only those missing) and
# builds one configuration: scripts/setup.sh [test|release|fuzz]
set -eu
cd "$(dirname "$0")/.."
preset="${1:-test}"

packages="build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libtinyxml2-dev zlib1g-dev libpng-dev libssl-dev libcurl4-openssl-dev
  libarchive-dev libcairo2-dev libfreetype-dev libfontconfig-dev libx11-dev libxext-dev libxrandr-dev
  libdeflate-dev libcpp-httplib-dev fonts-roboto xvfb xdotool openssl
  ca-certificates libarchive-tools libacl1-dev libglib2.0-dev dbus-daemon"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends $missing
fi

cmake --preset "$preset" >/dev/null
cmake --build "build/$preset"
