#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and the demo need.
# Safe to run again; it asks apt only for what is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  libglib2.0-dev libcurl4-openssl-dev libplist-dev libssl-dev zlib1g-dev libgtk-3-dev libarchive-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  bubblewrap python3 openssl curl xvfb xauth time
  # The desktop's proxy settings reach downloads through GIO's proxy resolver; nginx serves
  # the download tree in the end-to-end suite as a real web server would.
  glib-networking gsettings-desktop-schemas nginx
  dpkg-dev
  # The windows: their fonts (CJK rows render as empty boxes without them), their icons,
  # and the accessibility bus the window tests read them through.
  fonts-noto-cjk fonts-dejavu-core adwaita-icon-theme
  at-spi2-core python3-pyatspi dbus-daemon
  # The same window tests on Wayland, under weston's headless compositor.
  weston
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # nginx starts a system service on port 80 when it is installed; the tests start their own
  # servers on free ports, and a service that cannot start (port 80 taken) would fail the
  # whole install. A policy that refuses service starts stands for this install only.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
    "${sudo_cmd[@]}" chmod 755 "$policy"
    trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
