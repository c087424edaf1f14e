#!/bin/sh
# The dialog fonts of Windows into a Wine prefix: Tahoma (98, 2000 and
# later) and MS Sans Serif (every version, the one 95 and NT 4.0 have).
# Wine ships both in its data folder but, as packaged here, loads fonts only
# from the prefix's Fonts folder and the system's fontconfig, so without
# this the program would get a stand-in for either.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for dir in /usr/share/wine/fonts /usr/lib/wine/fonts; do
  for font in tahoma.ttf tahomabd.ttf sserife.fon; do
    if [ -f "$dir/$font" ] && [ ! -f "$fonts/$font" ]; then cp "$dir/$font" "$fonts/"; fi
  done
done
