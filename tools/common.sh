# Shared by tools/test.sh and tools/run.sh: choosing the build, the Wine prefix
# and the X display. Sourced, not run.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${OVRIX_JOBS:-$(nproc)}

# The shipped programs are 32-bit. Some kernels cannot execute 32-bit code at
# all (and so cannot run 32-bit Wine); there the same sources are built a second
# time for x86_64 and that build is the one run under Wine.
can_run_32bit() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

if [ -z "${OVRIX_RUN_ARCH:-}" ]; then
  if can_run_32bit; then OVRIX_RUN_ARCH=i686; else OVRIX_RUN_ARCH=x86_64; fi
fi

# configure_and_build ARCH: builds into build/ARCH and lays out its installation folder.
configure_and_build() {
  local arch=$1 dir="$repo/build/$1"
  mkdir -p "$dir"
  local wine_tests=ON
  [ "$arch" = "$OVRIX_RUN_ARCH" ] || wine_tests=OFF
  # Configured on every run: a folder that gained a CMakeLists.txt is picked up.
  cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-toolchain.cmake" \
        -DOVRIX_ARCH="$arch" -DOVRIX_WINE_TESTS=$wine_tests >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" -- -k 0
  cmake --install "$dir" >/dev/null
}

# wine_env DIR: a private win32/win64 prefix under the build folder, created on first use.
wine_env() {
  local dir
  dir=$(cd "$1" && pwd)
  export WINEPREFIX="$dir/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$OVRIX_RUN_ARCH" = i686 ]; then
    export WINEARCH=win32 OVRIX_WINE=/usr/lib/wine/wine
  else
    export WINEARCH=win64 OVRIX_WINE=/usr/lib/wine/wine64
  fi
  export WINESERVER=/usr/lib/wine/wineserver
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$OVRIX_WINE" wineboot -i >"$dir/wineboot.log" 2>&1 || true
    "$WINESERVER" -w
    # Without a window manager, hiding a managed window takes seconds; unmanaged
    # windows also get the X keyboard focus when activated.
    "$OVRIX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
}

# start_wineserver: a persistent wineserver for the prefix (each Wine process then
# starts in milliseconds), and the prefix's background services started once with
# their output on /dev/null: started under a test they would inherit its output
# pipe and keep ctest waiting.
# Only a session this script started is ended by stop_session.
own_wineserver=0
start_wineserver() {
  "$WINESERVER" -p
  own_wineserver=1
  "$OVRIX_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# prefix_server_running: true when a wineserver serves $WINEPREFIX already (an
# earlier run.sh still showing the configurator, a test run of the same build).
# A wineserver works in its server folder, named after the prefix's device and
# inode; a second `wineserver -p` for the prefix would fail.
prefix_server_running() {
  local folder pid
  [ -d "$WINEPREFIX" ] || return 1
  folder=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for pid in $(pgrep -u "$(id -u)" '^wineserver' 2>/dev/null); do
    [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$folder" ] && return 0
  done
  return 1
}

# start_device_service DIR: registers the stand-in device service installed in
# DIR/install and starts it before any program, as the system would start the
# maker's service; it stays resident until stop_device_service or the session's end.
start_device_service() {
  local bin="$1/install"
  "$OVRIX_WINE" "$bin/DeviceService.exe" /RegServer >/dev/null 2>&1 </dev/null \
    || { echo "could not register the device service" >&2; return 1; }
  "$OVRIX_WINE" "$bin/DeviceService.exe" >/dev/null 2>&1 </dev/null &
  "$OVRIX_WINE" "$bin/DeviceServiceCtl.exe" wait 30 >/dev/null 2>&1 </dev/null \
    || { echo "the device service did not start" >&2; return 1; }
}

# register_installation DIR: the installer's values for DIR/install, as an
# installation would write them (HKEY_LOCAL_MACHINE "Software\Tavrik\Kestrane
# Ovrix": "InstallDir" the installation folder, "Language" "English"). The
# programs only read them. run.sh writes them; the test prefix has none: with them
# every test that starts the configurator would start a real tray that outlives
# it and keeps calling the service (COM would even start a stopped service anew).
register_installation() {
  local folder key='HKLM\Software\Tavrik\Kestrane Ovrix'
  folder="Z:$(cd "$1/install" && pwd | tr '/' '\\')"
  "$OVRIX_WINE" reg add "$key" /v InstallDir /t REG_SZ /d "$folder" /f >/dev/null 2>&1 </dev/null \
    || { echo "could not write the installation's registry values" >&2; return 1; }
  "$OVRIX_WINE" reg add "$key" /v Language /t REG_SZ /d English /f >/dev/null 2>&1 </dev/null || true
}

# unregister_installation: takes the installer's values away again. Tests run in
# the prefix that run.sh registers an installation in; they need it without.
unregister_installation() {
  "$OVRIX_WINE" reg delete 'HKLM\Software\Tavrik\Kestrane Ovrix' /f >/dev/null 2>&1 </dev/null || true
}

# stop_device_service DIR: asks the running device service to write its state and end.
stop_device_service() {
  "$OVRIX_WINE" "$1/install/DeviceServiceCtl.exe" stop >/dev/null 2>&1 </dev/null || true
}

# start_xvfb: a private display at 24-bit depth; sets DISPLAY and xvfb_pid. Xvfb
# picks a free display number itself (-displayfd), so runs that start at the same
# moment never end up sharing one display (and fighting over its cursor and focus).
start_xvfb() {
  local number_file n
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    n=$(tr -dc '0-9' <"$number_file")
    if [ -n "$n" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
      rm -f "$number_file"
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  kill "$xvfb_pid" 2>/dev/null || true
  echo "could not start Xvfb" >&2
  return 1
}

# Ends the prefix's wineserver only when this script started it, and our own display.
stop_session() {
  [ "$own_wineserver" = 1 ] && [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null || true
  own_wineserver=0
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
  wait 2>/dev/null || true
}

# finish_session: the scripts' exit trap. Ends what the script started and never
# ends silently: a failure names its status.
finish_session() {
  local status=$?
  stop_session
  [ $status -eq 0 ] || echo "$(basename "$0"): stopped with status $status (see the messages above)" >&2
  exit $status
}
