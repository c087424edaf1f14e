#!/bin/sh
# Tahoma into a Wine prefix, the dialog face of Windows 98, 2000 and later.
# Wine ships it in its data folder but, as packaged here, loads fonts only
# from the prefix's Fonts folder and the system's fontconfig, so without
# this the program would always take its stand-in for systems without
# Tahoma (Arial, which Wine draws with the same widths as Liberation Sans).
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for dir in /usr/share/wine/fonts /usr/lib/wine/fonts; do
  for font in tahoma.ttf tahomabd.ttf; do
    if [ -f "$dir/$font" ] && [ ! -f "$fonts/$font" ]; then cp "$dir/$font" "$fonts/"; fi
  done
done
