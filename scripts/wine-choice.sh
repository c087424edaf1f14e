# Sourced by test.sh and run.sh: which Windows build Wine runs here.
# wine_preset=win32 where the machine runs 32-bit programs (the shipped
# program itself); win64 on a kernel without 32-bit emulation, where Wine's
# 32-bit loader fails with "Exec format error": then the x86_64 build of the
# same sources runs under wine64, reached through scripts/wine64 on PATH.
wine_preset=win32
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine_preset=win64
  PATH="$PWD/scripts/wine64:$PATH"
  export PATH
  echo "wine-choice: this machine cannot run 32-bit programs; Wine runs the 64-bit build (preset win64)"
fi
