#!/usr/bin/env bash
# Installs the Debian packages the editor needs to build, test and run, and only
# those that are missing. Silent when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build make
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xauth xdotool x11-utils x11-apps
  desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl file dpkg-dev
  clang zlib1g-dev libexpat1-dev libdeflate-dev libzip-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
