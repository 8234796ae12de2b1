# Sourced by the Windows smoke scripts: wine_loader BINARY prints the Wine
# loader that runs BINARY, wine64 for a 64-bit program and the 32-bit wine
# (Debian's wine32) for a 32-bit one. Debian keeps wine64 out of the PATH.
wine_loader() {
  local header machine
  header=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
  if [[ $machine == 014c ]]; then
    command -v wine || echo /usr/lib/wine/wine
  elif command -v wine64 >/dev/null; then
    command -v wine64
  elif [[ -x /usr/lib/wine/wine64 ]]; then
    echo /usr/lib/wine/wine64
  else
    command -v wine
  fi
}
