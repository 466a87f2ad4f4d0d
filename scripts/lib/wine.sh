# The one place that knows how to run Wine for Pagekeep. Sourced by scripts.
# Every prefix lives under the build tree; ~/.wine is never touched.

# PAGEKEEP_ARCH (x86, the default, or x64) says which build and which Wine.

PAGEKEEP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$PAGEKEEP_ROOT/scripts/lib/arch.sh"
export PAGEKEEP_ARCH=${PAGEKEEP_ARCH:-x86}
pk_check_arch "$PAGEKEEP_ARCH" || exit
PAGEKEEP_BUILD=${PAGEKEEP_BUILD_DIR:-$(pk_build_dir "$PAGEKEEP_ARCH")}
PAGEKEEP_WINE=$PAGEKEEP_BUILD/wine
pk_use_wine_of "$PAGEKEEP_ARCH"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

PAGEKEEP_XVFB_PIDS=()

# Starts an Xvfb of our own; sets PAGEKEEP_STARTED_DISPLAY. pk_stop_xvfb ends it.
pk_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" \
    </dev/null >/dev/null 2>&1 &
  PAGEKEEP_XVFB_PIDS+=($!)
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  PAGEKEEP_STARTED_DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

# Uses DISPLAY when set, else starts an Xvfb of our own and exports its display.
pk_start_xvfb_if_needed() {
  [ -n "${DISPLAY:-}" ] && return 0
  pk_start_xvfb || return 1
  export DISPLAY=$PAGEKEEP_STARTED_DISPLAY
  echo "No display set: started Xvfb on $DISPLAY (pid ${PAGEKEEP_XVFB_PIDS[-1]})"
}

# Ends every Xvfb this shell started, by pid.
pk_stop_xvfb() {
  local pid
  for pid in "${PAGEKEEP_XVFB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  PAGEKEEP_XVFB_PIDS=()
}

# Runs one Wine step; when it fails, stops the script with the command and
# what it printed, never with a bare exit code.
pk_wine_step() {
  local log status=0
  log=$(mktemp)
  "$@" </dev/null >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "Wine step failed (exit $status, $WINEARCH prefix ${WINEPREFIX:-?}): $*" >&2
    sed 's/^/  | /' "$log" | tail -n 40 >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# A ready prefix of the build's architecture with fonts for GDI+, made once
# per build tree.
pk_ensure_template() {
  local template=$PAGEKEEP_WINE/template
  [ -e "$template/.pagekeep-ready" ] && return 0
  rm -rf "$template"
  mkdir -p "$PAGEKEEP_WINE"
  echo "Creating the $WINEARCH Wine prefix template (once per build tree)..."
  WINEPREFIX=$template pk_wine_step wineboot -i
  WINEPREFIX=$template pk_wine_step wineserver -w
  if [ ! -d "$template/drive_c/windows/Fonts" ]; then
    echo "Wine step failed: wineboot -i made no prefix in $template (drive_c/windows/Fonts missing)" >&2
    exit 1
  fi
  # Debian's Wine gives GDI+ no font until these are in the prefix.
  cp /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/"
  touch "$template/.pagekeep-ready"
}

# Copies the template to a prefix of the given name; "fresh" replaces it.
pk_prefix() {
  local name=$1 mode=${2:-keep}
  local prefix=$PAGEKEEP_WINE/$name
  pk_ensure_template
  if [ "$mode" = fresh ] || [ ! -e "$prefix/.pagekeep-ready" ]; then
    rm -rf "$prefix"
    cp -a "$PAGEKEEP_WINE/template" "$prefix"
  fi
  export WINEPREFIX=$prefix
}

# Ends every Wine process of the current prefix, then its wineserver.
pk_stop_wine() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# A test desktop: a display with a fresh prefix (and so a wineserver) of its
# own. Exes on different desktops share no windows, clipboard or hotkeys, so
# CTest runs them side by side; scripts/wine-exec picks the one a test names.
pk_test_desktop() {
  local number=$1 display=$2
  local prefix=$PAGEKEEP_WINE/test-$number
  pk_ensure_template
  rm -rf "$prefix"
  cp -a "$PAGEKEEP_WINE/template" "$prefix"
  export "PAGEKEEP_DESKTOP_${number}_DISPLAY=$display"
  export "PAGEKEEP_DESKTOP_${number}_PREFIX=$prefix"
}

# Starts a test desktop's Wine (server, services, keep-alive window) before
# the suite, so that a Wine that cannot start stops the run at once with its
# reason instead of failing every test in turn.
pk_start_test_desktop_services() {
  if ! PAGEKEEP_DESKTOP=$1 "$PAGEKEEP_ROOT/scripts/wine-exec" --arch "$PAGEKEEP_ARCH" \
    cmd /c exit 0 </dev/null; then
    echo "Test desktop $1 could not start its Wine ($WINEARCH): see above" >&2
    exit 1
  fi
}

# Ends the Wine of every test desktop.
pk_stop_test_desktops() {
  local prefix
  for prefix in "$PAGEKEEP_WINE"/test-*; do
    [ -d "$prefix" ] || continue
    WINEPREFIX=$prefix pk_stop_wine
  done
}
