#!/usr/bin/env bash
# Tries the Windows program of a cross build as a person would, under Wine
# and a private Xvfb: Tarquel.exe starts from a copy of its program folder,
# shows its splash, then its main window, with a generated clip of a
# non-ASCII name given on its command line; a second clip is added through
# the open dialog (Ctrl+O, its path typed, Enter), both are converted
# (Ctrl+S), and the handheld's MP4 of each clip's length appears in the
# output folder. (xdotool cannot type every letter into Wine, so the clip
# typed into the dialog has an ASCII name.)
#   tools/windows-gui-smoke.sh [build-windows-x64] [screenshot folder]
# With a screenshot folder, each step's picture of the screen is kept there.
set -uo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build-windows-x64}" && pwd)
shots=${2:-}
for tool in Xvfb xdotool ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
done
source "$source_dir/tools/wine-loader.sh"
wine=$(wine_loader "$build_dir/Tarquel/Tarquel.exe")

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
  WINEPREFIX=$WINEPREFIX "${wine%64}server" -k 2>/dev/null || wineserver -k 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
shot() {
  [[ -n $shots ]] && command -v import >/dev/null && import -display "$DISPLAY" -window root "$shots/$1.png"
  return 0
}
fail() {
  echo "FAILED: $*"
  shot failed
  [[ -f $work/Tarquel/log.txt ]] && { echo "log.txt:"; tr -d '\r' <"$work/Tarquel/log.txt"; }
  echo "the program's output:"; tail -n 20 "$work/program.out"
  exit 1
}
wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.3
  done
}
[[ -n $shots ]] && mkdir -p "$shots"

display=
for d in $(seq 161 230); do
  if [[ ! -e /tmp/.X11-unix/X$d && ! -e /tmp/.X$d-lock ]]; then display=:$d; break; fi
done
[[ -n $display ]] || fail "no free X display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wait_for 10 test -e "/tmp/.X11-unix/X${display#:}" || fail "Xvfb did not start"
export DISPLAY=$display
# A Wine prefix of this run's own, so that nothing of another run's settings
# or processes is seen.
export WINEPREFIX=$work/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start=$SECONDS
"$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
echo "Wine prefix made in $((SECONDS - start)) s"

win() { printf 'Z:%s' "${1//\//\\}"; }
cp -r "$build_dir/Tarquel" "$work/Tarquel"
mkdir -p "$work/Tarquel/Config" "$work/media" "$work/out"
printf '[USRInfo]\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=%s\r\n' "$(win "$work/out")" >"$work/Tarquel/Config/UserSettings.ini"
argument="$work/media/Ferienfilm Ä.avi"
clip=$work/media/clip.avi
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=6 -f lavfi -i sine=duration=6 \
  -c:v mpeg4 -c:a libmp3lame -shortest "$clip" || fail "cannot make the clip"
cp "$clip" "$argument"

main_window() { xdotool search --onlyvisible --name '^Tarquel [0-9]' | head -1; }
has_main_window() { [[ -n $(main_window) ]]; }
start=$SECONDS
(cd "$work/Tarquel" && exec "$wine" Tarquel.exe "$(win "$argument")") >"$work/program.out" 2>&1 &
program_pid=$!
# The splash shows first, a window without the main window's caption.
splash_seen=0
for _ in $(seq 1 150); do
  if [[ -z $(main_window) ]] && xdotool search --onlyvisible --name '.' >/dev/null 2>&1; then
    splash_seen=1; shot 1-splash; break
  fi
  [[ -n $(main_window) ]] && break
  sleep 0.2
done
wait_for 60 has_main_window || fail "no main window"
echo "main window after $((SECONDS - start)) s (splash seen: $splash_seen)"
window=$(main_window)
sleep 3
shot 2-main-window

xdotool windowfocus --sync "$window"
xdotool key ctrl+o
dialog_shows() { [[ -n $(xdotool search --onlyvisible --name '.' | grep -vx "$window" | head -1) ]]; }
dialog_gone() { ! dialog_shows; }
wait_for 30 dialog_shows || fail "no open dialog"
sleep 2
shot 3-open-dialog
# On a loaded machine the dialog may not have the keys yet when it shows:
# the name is typed again, into the dialog given the focus, until it closes.
for attempt in 1 2 3; do
  dialog=$(xdotool search --onlyvisible --name '.' | grep -vx "$window" | head -1)
  [[ -n $dialog ]] && xdotool windowfocus --sync "$dialog" 2>/dev/null
  xdotool type --delay 20 "$(win "$clip")"
  xdotool key Return
  wait_for 15 dialog_gone && break
  ((attempt < 3)) || fail "the open dialog did not close"
  xdotool key Escape ctrl+a BackSpace
done
sleep 2
shot 4-added
xdotool windowfocus --sync "$window"
xdotool key ctrl+s
start=$SECONDS
complete() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" | grep -q '^[0-9]'; }
for output in "$work/out/Ferienfilm Ä.mp4" "$work/out/clip.mp4"; do
  wait_for 60 test -s "$output" || fail "no output $output appeared"
  shot 5-converting
  wait_for 120 complete "$output" || fail "the output $output cannot be read"
done
wait_for 60 grep -aq "parameter: .*clip.mp4" "$work/Tarquel/log.txt" || fail "no command in the log"
sleep 2
shot 6-done
for output in "$work/out/Ferienfilm Ä.mp4" "$work/out/clip.mp4"; do
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$output")
  streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$output" | paste -sd ' ' -)
  echo "$(basename "$output"): $duration s, streams: $streams"
  awk -v d="$duration" 'BEGIN { exit !(d > 5.5 && d < 6.5) }' || fail "$output lasts $duration s, not 6"
  [[ $streams == "mpeg4,320,240 aac" ]] || fail "unexpected streams in $output: $streams"
done
echo "both converted in $((SECONDS - start)) s"
echo "PASSED"
