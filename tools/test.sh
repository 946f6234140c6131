#!/usr/bin/env bash
# Builds everything and runs every test (ctest, programs under Wine on a private Xvfb).
# With arguments (while working on one thing): builds only the build that runs under
# Wine and hands the arguments to its ctest, e.g. `tools/test.sh -R KeyEvent`.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$repo/tools/setup.sh"

# The shipped 32-bit build always compiles and links (its import check runs on the host).
[ $# -gt 0 ] || configure_and_build i686
[ "$OVRIX_RUN_ARCH" = i686 ] && [ $# -eq 0 ] || configure_and_build "$OVRIX_RUN_ARCH"

dir="$repo/build/$OVRIX_RUN_ARCH"
trap finish_session EXIT
start_xvfb
wine_env "$dir"
if prefix_server_running; then
  # Tests need the prefix to themselves (the configurator runs once per session),
  # and the session is not ours to end.
  echo "a Wine session for $dir runs already (tools/run.sh still showing the configurator?)." >&2
  echo "close the configurator, or end that session with: WINEPREFIX=$WINEPREFIX $WINESERVER -k; then run the tests again" >&2
  exit 1
fi
start_wineserver
unregister_installation
start_device_service "$dir"
status=0
if [ "$OVRIX_RUN_ARCH" != i686 ] && [ $# -eq 0 ]; then
  echo "note: this kernel cannot run 32-bit code; tests run the x86_64 build under wine64" >&2
  # The host-side checks of the shipped 32-bit build.
  ctest --test-dir "$repo/build/i686" --no-label-summary --output-on-failure -j "$jobs" || status=1
fi
ctest --test-dir "$dir" --no-label-summary --output-on-failure -j "$jobs" --timeout 300 "$@" || status=1
exit $status
