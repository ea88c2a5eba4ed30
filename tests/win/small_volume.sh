#!/usr/bin/env bash
# Runs the small-volume test binary with a 1 MiB tmpfs linked to a free drive
# letter of the Wine prefix in WINEPREFIX, so that the free-space queries see
# a real volume too small for its package. Mounting needs root: without it
# the test is skipped (exit 77), never failed.
# Usage: small_volume.sh TEST_EXE WINE_RUN
set -u
test_exe=$1
wine_run=$2

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/dosdevices" ] || skip "no Wine prefix in WINEPREFIX"
[ "$(id -u)" -eq 0 ] || skip "mounting a tmpfs needs root"

letter=""
for l in t u v w x y; do
  if [ ! -e "$WINEPREFIX/dosdevices/$l:" ] && [ ! -L "$WINEPREFIX/dosdevices/$l:" ]; then
    letter=$l
    break
  fi
done
[ -n "$letter" ] || skip "no free drive letter in $WINEPREFIX/dosdevices"

mnt=$(mktemp -d /tmp/small-volume.XXXXXX)
link="$WINEPREFIX/dosdevices/$letter:"
cleanup() {
  rm -f "$link"
  umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null
  rmdir "$mnt" 2>/dev/null
}
trap cleanup EXIT
# A test run that is stopped still unmounts.
trap 'exit 143' TERM INT HUP

mount -t tmpfs -o size=1m,mode=0777 tmpfs "$mnt" 2>/dev/null || skip "cannot mount a tmpfs here"
ln -s "$mnt" "$link"
INSTALLER_SMALL_DRIVE=$letter "$wine_run" "$test_exe"
