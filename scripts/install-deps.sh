#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; with --deb also
# those that `make deb` needs to make and check the packages. Idempotent: does
# nothing when every package is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev libimagequant-dev
  libwmf-dev fonts-urw-base35 libemf2svg-dev librsvg2-dev libcairo2-dev
  unifont
  libx11-dev libxext-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core
  libopencv-core-dev libopencv-imgproc-dev libopencv-videoio-dev
  libv4l-dev
  xvfb xauth xdotool xclip openbox
)
if [ "${1:-}" = "--deb" ]; then
  packages+=(dpkg-dev file lintian)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
