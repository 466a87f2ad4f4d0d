# Which Windows architecture a script builds, runs or tests. Sourced.
# x86 is the product (32-bit, build/); x64 is the same sources as a 64-bit
# program (build-x64/), which is what a host without IA-32 emulation runs.

PAGEKEEP_ROOT=${PAGEKEEP_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

pk_check_arch() {
  case $1 in
    x86 | x64) ;;
    *)
      echo "unknown architecture '$1': x86, x64 or all" >&2
      return 2
      ;;
  esac
}

# The build tree of an architecture; a second argument is a suffix (-debug).
pk_build_dir() {
  local suffix=${2:-}
  if [ "$1" = x64 ]; then echo "$PAGEKEEP_ROOT/build-x64$suffix"; else echo "$PAGEKEEP_ROOT/build$suffix"; fi
}

pk_toolchain() {
  if [ "$1" = x64 ]; then echo toolchain-mingw-x86_64.cmake; else echo toolchain-mingw-i686.cmake; fi
}

# Sets up the Wine environment of an architecture: 32-bit prefixes through
# Debian's `wine`, or 64-bit prefixes through the 64-bit loader (a `wine`
# of ours first on PATH, since Debian's picks the 32-bit loader whenever it
# is installed, even where it cannot run).
pk_use_wine_of() {
  if [ "$1" = x64 ]; then
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in
      *":$PAGEKEEP_ROOT/scripts/lib/wine64:"*) ;;
      *) export PATH="$PAGEKEEP_ROOT/scripts/lib/wine64:$PATH" ;;
    esac
  else
    export WINEARCH=win32
    unset WINELOADER
  fi
}

# Whether this host runs 32-bit programs: Debian's 32-bit Wine loader answers
# only where the kernel has IA-32 emulation (it fails with "Exec format
# error" where it has not).
pk_host_runs_x86() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The architectures that a run tests, from --arch (x86, x64, all or empty)
# and the host: empty means the 32-bit build where the host runs it, else
# the 64-bit one; PAGEKEEP_FORCE_X64=1 makes empty mean the 64-bit build on
# any host, so that path is exercised everywhere. Prints them, one per line;
# says in one line why when it falls back.
pk_archs_to_test() {
  local asked=${1:-}
  if [ -z "$asked" ]; then
    if [ "${PAGEKEEP_FORCE_X64:-}" = 1 ]; then
      echo "PAGEKEEP_FORCE_X64=1: testing the 64-bit build under the 64-bit Wine loader" >&2
      asked=x64
    elif pk_host_runs_x86; then
      asked=x86
    else
      echo "This host cannot run 32-bit programs (no IA-32 emulation): testing the 64-bit build under the 64-bit Wine loader" >&2
      asked=x64
    fi
  fi
  case $asked in
    all)
      if ! pk_host_runs_x86; then
        echo "--arch all: this host cannot run 32-bit programs (no IA-32 emulation)" >&2
        return 2
      fi
      printf '%s\n' x86 x64
      ;;
    x86)
      if ! pk_host_runs_x86; then
        echo "--arch x86: this host cannot run 32-bit programs (no IA-32 emulation); use --arch x64" >&2
        return 2
      fi
      echo x86
      ;;
    *)
      pk_check_arch "$asked" || return
      echo "$asked"
      ;;
  esac
}
