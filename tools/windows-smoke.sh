#!/usr/bin/env bash
# Tries the Windows encoders of a cross build under Wine: evc.exe turns a
# generated clip (with a non-ASCII name) into the handheld's MP4 and an
# MP3, revc.exe reads a one-line script, and ffprobe checks what they wrote.
#   tools/windows-smoke.sh [build-windows-x64]
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build-windows-x64}" && pwd)
program="$build_dir/Tarquel"
source "$source_dir/tools/wine-loader.sh"
wine=$(wine_loader "$program/evc.exe")
export WINEPREFIX="$build_dir/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[[ -d "$WINEPREFIX" ]] || "$wine" wineboot --init >/dev/null 2>&1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Wine shows the Unix root as drive Z:.
win() { printf 'Z:%s' "${1//\//\\}"; }

clip="$work/Ferienfilm ÄÖÜ.avi"
ffmpeg -v error -f lavfi -i testsrc=size=640x480:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 \
  -t 6 -c:v mpeg4 -c:a mp3 "$clip"

failed=0
check() {  # NAME FILE EXPECTED-STREAMS SECONDS
  local streams duration
  streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$2" 2>/dev/null | paste -sd ' ' -)
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$2" 2>/dev/null || true)
  if [[ "$streams" == "$3" ]] && awk -v d="${duration:-0}" -v e="$4" 'BEGIN { exit !(d > e - 0.2 && d < e + 0.2) }'; then
    echo "$1: ok ($streams, ${duration} s, $(stat -c %s "$2") bytes)"
  else
    echo "$1: FAILED: streams '$streams' lasting '${duration}' s, expected '$3' lasting $4 s"
    failed=1
  fi
}
run() {  # NAME ENCODER ARGS...
  local name=$1 encoder=$2 start=$SECONDS
  shift 2
  if ! (cd "$program" && timeout 300 "$wine" "$encoder" "$@") >"$work/$name.log" 2>&1; then
    echo "$name: the encoder failed:"; tr '\r' '\n' <"$work/$name.log" | tail -n 5
    failed=1
  fi
  echo "$name: $((SECONDS - start)) s"
}

run psp evc.exe -y -i "$(win "$clip")" -vcodec mpeg4 -acodec aac -b 768 -s 320x240 -r 29.97 -aspect 4:3 \
  -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:01 -t 4 "$(win "$work/Ferienfilm ÄÖÜ.mp4")"
check psp "$work/Ferienfilm ÄÖÜ.mp4" "mpeg4,320,240 aac" 4
run mp3 evc.exe -y -i "$(win "$clip")" -acodec mp3 -vn -ab 128 -vol 100 -ac 2 -ar 44100 -ss 00:00:00 -t 6 \
  "$(win "$work/clip.mp3")"
check mp3 "$work/clip.mp3" "mp3" 6
printf 'DirectShowSource("%s", fps=25, convertfps=true)\r\n' "$(win "$clip")" >"$program/VideoFile.avs"
run revc revc.exe -y -i "$(win "$program/VideoFile.avs")" -vcodec mpeg4 -acodec aac -b 768 -s 320x240 -r 29.97 \
  -aspect 4:3 -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 3 "$(win "$work/script.mp4")"
rm -f "$program/VideoFile.avs"
check revc "$work/script.mp4" "mpeg4,320,240 aac" 3
exit "$failed"
