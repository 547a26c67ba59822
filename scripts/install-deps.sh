#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the tests, the screenshots and the package need; does
# nothing when they are all present. Runs as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
  libusb-1.0-0-dev umockdev libumockdev-dev libudev-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev nettle-dev python3-jsonschema time
  clang libclang-rt-14-dev
  xvfb xauth x11-apps imagemagick fonts-wqy-microhei
  help2man groff-base desktop-file-utils appstream dpkg-dev debhelper pkgconf git file lintian zsh tmux
  ansible-core ansible-lint python3-pytest python3-pytest-xdist python3-pytest-forked
  yamllint pylint python3-pycodestyle python3-voluptuous python3-yaml python3-jinja2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
