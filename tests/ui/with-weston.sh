#!/usr/bin/env bash
# Runs a command under a headless Wayland compositor of its own (weston's headless backend,
# rendering with pixman so windows can be photographed), with WAYLAND_DISPLAY set and no
# DISPLAY, the way the program meets a Wayland desktop:
#   tests/ui/with-weston.sh command [arguments...]
# The compositor's socket lives in a private runtime directory made for this run, so runs
# started side by side never meet; both go when the command ends. WESTON_ARGS adds options
# ("--debug" lets weston-screenshooter photograph the screen).
set -euo pipefail
runtime=$(mktemp -d "${TMPDIR:-/tmp}/naib-wayland-XXXXXX")
chmod 700 "$runtime"
socket=naib-$$
weston_pid=
finish() {
  if [ -n "$weston_pid" ]; then
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
  fi
  rm -rf "$runtime"
}
trap finish EXIT
# A plain grey desktop without a panel: nothing but the windows to photograph.
printf '[core]\nidle-time=0\n[shell]\nbackground-color=0xffd0d0d0\npanel-position=none\n' \
  > "$runtime/weston.ini"
# shellcheck disable=SC2086
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman \
  --config="$runtime/weston.ini" --socket="$socket" --width=1100 --height=700 \
  ${WESTON_ARGS:-} --log="$runtime/weston.log" &
weston_pid=$!
for _ in $(seq 1 100); do
  [ -S "$runtime/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$runtime/weston.log" >&2; exit 1; }
  sleep 0.1
done
[ -S "$runtime/$socket" ] || { echo "weston did not start" >&2; exit 1; }
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" "$@"
