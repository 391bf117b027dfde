#!/usr/bin/env bash
# Screenshots of the program's windows under a virtual X server with a window manager (so
# the titles show): the progress window at 40 % with its amounts, the alert with the
# runtime-not-found message and the error dialog with the system-requirements link, each
# in all 16 languages, and the dialog again on the dark theme; then the progress window and
# the dialog once more on Wayland, under weston's headless compositor, where the windows
# draw their own title bars.
#   tests/ui/screenshots.sh [build-dir] [output-dir]
# Writes <output-dir>/<language>-<window>.png and one contact sheet per window,
# <output-dir>/<window>.png (progress, alert, dialog, dialog-dark, progress-wayland,
# dialog-wayland); default output: <build-dir>/screenshots.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
out=${2:-$build/screenshots}
preview=$build/src/naib-ui-preview
languages=(de en es fr it ja ko pt ru zh_CN zh_TW cs nl pl sv tr)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

packages=(xvfb xauth x11-apps imagemagick openbox fonts-noto-cjk fonts-dejavu-core
          adwaita-icon-theme weston)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
[ -x "$preview" ] || cmake --build "$build" -j2 --target naib-ui-preview

mkdir -p "$out"
# One X server and one window manager for every shot: the script runs itself again inside
# xvfb-run. A shot is the window alone on the screen, taken once it has settled, then
# trimmed to the window and its frame.
shoot() {  # shoot <window> <png> [environment assignments...]
  local window=$1 png=$2
  shift 2
  env "$@" LANG=C.UTF-8 "$preview" "$window" >/dev/null 2>&1 &
  local pid=$!
  sleep 1.5
  import -window root "$png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  convert "$png" -trim +repage "$png"
  echo "$png"
}
# On Wayland the screen is photographed by weston-screenshooter, which writes into the
# current folder.
shoot_wayland() {  # shoot_wayland <window> <png> [environment assignments...]
  local window=$1 png=$2 shots
  shift 2
  env "$@" LANG=C.UTF-8 "$preview" "$window" >/dev/null 2>&1 &
  local pid=$!
  sleep 1.5
  shots=$(mktemp -d)
  (cd "$shots" && weston-screenshooter)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  convert "$shots"/*.png -fuzz 2% -trim +repage "$png"
  rm -rf "$shots"
  echo "$png"
}
if [ "${NAIB_SCREENSHOTS_WAYLAND:-}" = 1 ]; then
  for language in "${languages[@]}"; do
    for window in progress dialog; do
      shoot_wayland "$window" "$out/$language-$window-wayland.png" LANGUAGE="$language"
    done
  done
  exit 0
fi
if [ "${NAIB_SCREENSHOTS_SERVER:-}" = 1 ]; then
  openbox >/dev/null 2>&1 &
  sleep 1
  for language in "${languages[@]}"; do
    for window in progress alert dialog; do
      shoot "$window" "$out/$language-$window.png" LANGUAGE="$language"
    done
    shoot dialog "$out/$language-dialog-dark.png" LANGUAGE="$language" GTK_THEME=Adwaita:dark
  done
  exit 0
fi
NAIB_SCREENSHOTS_SERVER=1 xvfb-run -a -s "-screen 0 1100x700x24" "$0" "$build" "$out"
NAIB_SCREENSHOTS_WAYLAND=1 WESTON_ARGS=--debug "$here/with-weston.sh" "$0" "$build" "$out"

# One contact sheet per window, every shot labelled with its language.
for window in progress alert dialog dialog-dark progress-wayland dialog-wayland; do
  args=()
  for language in "${languages[@]}"; do
    args+=(-label "$language" "$out/$language-$window.png")
  done
  montage -font "$font" -pointsize 16 -background '#d0d0d0' -tile 4x -geometry +10+18 \
    "${args[@]}" "$out/$window.png"
  echo "$out/$window.png"
done
