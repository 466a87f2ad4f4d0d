#!/usr/bin/env bash
# Pictures of each kind of notifier card, made from the real Pagekeep.exe
# under Wine (on an Xvfb of its own when no display is set). Writes PNGs to
# the folder given (default docs/screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshots}")
mkdir -p "$out"
"$root/scripts/setup"
PAGEKEEP_TARGETS="Pagekeep pagekeep-card-screenshots" "$root/scripts/build"
source "$root/scripts/lib/wine.sh"

cleanup() {
  pk_stop_wine
  pk_stop_xvfb
}
trap cleanup EXIT
pk_start_xvfb_if_needed
pk_prefix screenshots fresh
wine "$PAGEKEEP_BUILD/bin/pagekeep-card-screenshots.exe" "$(winepath -w "$out")"
