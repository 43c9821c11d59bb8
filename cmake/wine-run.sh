#!/bin/sh
# Runs a Windows program under Wine with a prefix inside the build tree, so that tests never touch
# the user's own Wine setup. The build tree is the current directory's nearest folder holding a
# CMakeCache.txt, or IRCAPTURE_WINEPREFIX when set.
if [ -z "${IRCAPTURE_WINEPREFIX:-}" ]; then
  dir=$(pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  IRCAPTURE_WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX="$IRCAPTURE_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${IRCAPTURE_FSIZE_LIMIT:-}" ]; then
  # A test of failed writes: every file this process and its children write is limited, and the
  # write past the limit fails (EFBIG) instead of the signal ending the process. The wineserver,
  # which saves the prefix's registry, is started first so that it is not limited.
  /usr/lib/wine/wineserver64 -p10 2>/dev/null
  trap '' XFSZ
  exec prlimit --fsize="$IRCAPTURE_FSIZE_LIMIT" /usr/lib/wine/wine64 "$@"
fi
exec /usr/lib/wine/wine64 "$@"
