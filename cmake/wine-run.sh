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
exec /usr/lib/wine/wine64 "$@"
