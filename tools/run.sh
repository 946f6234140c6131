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
if [ -z "${DISPLAY:-}" ]; then own_display=1; start_xvfb; fi
trap stop_session EXIT
wine_env "$dir"
start_wineserver
register_installation "$dir"
start_device_service "$dir"

cd "$install_dir"
"$OVRIX_WINE" "$install_dir/KestraneOvrixConfig.exe" >"$dir/configurator.log" 2>&1 &
app=$!
sleep 5
import -display "$DISPLAY" -window root "$shot"
echo "screenshot: $shot"
if [ $own_display -eq 1 ]; then
  stop_session   # ends the prefix's wineserver and with it the programs
else
  echo "the configurator runs on $DISPLAY; close it to finish"
  wait "$app" || true
fi
