#!/usr/bin/env bash
# Screenshots of the program's windows under a virtual X server: the progress window at
# 40 %, the alert with the runtime-not-found message and the error dialog with the
# system-requirements link, each in English, German and Japanese.
#   tests/ui/screenshots.sh [build-dir] [output-dir]
# Writes <output-dir>/<language>-<window>.png (default output: <build-dir>/screenshots).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
out=${2:-$build/screenshots}
preview=$build/src/naib-ui-preview

packages=(xvfb xauth x11-apps imagemagick fonts-noto-cjk)
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
for language in en de ja; do
  for window in progress alert dialog; do
    png="$out/$language-$window.png"
    # No window manager runs here, so the shots show no title bars; the window tests check
    # the titles.
    LANGUAGE=$language LANG=C.UTF-8 xvfb-run -a -s "-screen 0 900x600x24" bash -c '
      "$1" "$2" & pid=$!
      sleep 2
      import -window root "$3"
      kill "$pid"; wait "$pid" 2>/dev/null || true
    ' _ "$preview" "$window" "$png"
    # The windows sit on an empty screen: keep only the window.
    convert "$png" -trim +repage "$png"
    echo "$png"
  done
done
