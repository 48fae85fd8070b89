#!/usr/bin/env bash
# full_drive.sh up|down: drive U: for the full-drive fault test, a 4 MiB tmpfs
# on build/fulldrive holding a sparse ring of 2^28 - 1 bytes, so that a copy
# into it runs until the drive has no room left. Mounting needs the right to
# mount; without it U: stays unmapped and the test says it skipped.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
eval "$("$here/scripts/wine-env")"
dir=$here/build/fulldrive
link=$WINEPREFIX/dosdevices/u:
case ${1:-} in
  up)
    rm -f "$link"
    mkdir -p "$dir"
    if ! mountpoint -q "$dir" && ! mount -t tmpfs -o size=4m ringfeed_full "$dir" 2>/dev/null; then
      echo "full_drive: cannot mount a tmpfs on $dir; the full-drive test will skip"
      exit 0
    fi
    rm -f "$dir/\$Ringfeed.mpg"
    truncate -s $(((1 << 28) - 1)) "$dir/\$Ringfeed.mpg"
    ln -sfn "$dir" "$link"
    ;;
  down)
    rm -f "$link"
    if mountpoint -q "$dir"; then umount "$dir"; fi
    ;;
  *)
    echo "usage: full_drive.sh up|down" >&2
    exit 2
    ;;
esac
exit 0
