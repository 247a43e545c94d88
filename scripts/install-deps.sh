#!/usr/bin/env bash
# Installs every Debian package that building, testing and running chengfan needs.
set -euo pipefail

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-webengine-dev qt6-translations-l10n qt6-wayland
  libcurl4-openssl-dev ca-certificates
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils libx11-dev imagemagick xdg-utils
  fonts-noto-cjk locales openssl python3 curl
)

export DEBIAN_FRONTEND=noninteractive
as_root apt-get update
as_root apt-get install -y --no-install-recommends "${packages[@]}"

# The conversion tests prove that numbers ignore the locale under one whose
# decimal mark is a comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen
fi
