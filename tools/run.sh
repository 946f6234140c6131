#!/usr/bin/env bash
# Builds, installs into a Wine prefix and starts the configurator: on $DISPLAY when
# set (it runs until closed), else on a private Xvfb, leaving a screenshot in the
# build folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$repo/tools/setup.sh"
configure_and_build "$OVRIX_RUN_ARCH"
dir="$repo/build/$OVRIX_RUN_ARCH"
install_dir="$dir/install"
shot="$dir/screenshot.png"

own_display=0
trap finish_session EXIT
if [ -z "${DISPLAY:-}" ]; then own_display=1; start_xvfb; fi
wine_env "$dir"
if prefix_server_running; then
  # An earlier run (still showing the configurator) owns the session: the
  # configurator starts in it (a second one brings the first to the front) and
  # the session is left to the run that started it.
  echo "a Wine session for $dir runs already (an earlier run.sh?): starting the configurator in it and leaving it running" >&2
  echo "to end that session: WINEPREFIX=$WINEPREFIX $WINESERVER -k" >&2
else
  start_wineserver
  register_installation "$dir"
  start_device_service "$dir"
fi

cd "$install_dir"
"$OVRIX_WINE" "$install_dir/KestraneOvrixConfig.exe" >"$dir/configurator.log" 2>&1 &
app=$!
sleep 5
import -display "$DISPLAY" -window root "$shot"
echo "screenshot: $shot"
if [ $own_display -eq 1 ]; then
  stop_session   # ends the prefix's wineserver (when this run started it) and the display
else
  echo "the configurator runs on $DISPLAY; close it to finish"
  wait "$app" || true
fi
