# The one place that knows how to run Wine for Pagekeep. Sourced by scripts.
# Every prefix lives under the build tree; ~/.wine is never touched.

PAGEKEEP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PAGEKEEP_BUILD=${PAGEKEEP_BUILD_DIR:-$PAGEKEEP_ROOT/build}
PAGEKEEP_WINE=$PAGEKEEP_BUILD/wine
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Starts an Xvfb of our own when there is no display. Sets PAGEKEEP_XVFB_PID.
pk_start_xvfb_if_needed() {
  PAGEKEEP_XVFB_PID=
  [ -n "${DISPLAY:-}" ] && return 0
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" \
    </dev/null >/dev/null 2>&1 &
  PAGEKEEP_XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  echo "No display set: started Xvfb on $DISPLAY (pid $PAGEKEEP_XVFB_PID)"
}

pk_stop_xvfb() {
  if [ -n "${PAGEKEEP_XVFB_PID:-}" ]; then
    kill "$PAGEKEEP_XVFB_PID" 2>/dev/null || true
    wait "$PAGEKEEP_XVFB_PID" 2>/dev/null || true
    PAGEKEEP_XVFB_PID=
  fi
}

# A ready 32-bit prefix with fonts for GDI+, made once per build tree.
pk_ensure_template() {
  local template=$PAGEKEEP_WINE/template
  [ -e "$template/.pagekeep-ready" ] && return 0
  rm -rf "$template"
  mkdir -p "$PAGEKEEP_WINE"
  echo "Creating the Wine prefix template (once per build tree)..."
  WINEPREFIX=$template wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$template wineserver -w
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
