#!/usr/bin/env bash
# End to end under a real X server: the built program, started from a copy
# of its program folder, gets a generated clip through the open dialog
# (Ctrl+O, the path typed, Enter), converts it (Ctrl+S), and a playable MP4
# of the clip's length appears in the output folder. Then a long clip's
# batch is cut short by kill -9 of the program: its encoder must end with it,
# and the next start removes the half-written output and nothing else.
# Exits 77 (skipped) when a tool it needs is missing.
set -uo pipefail
program_dir=$1
for tool in Xvfb xdotool ffmpeg ffprobe; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (tools/setup.sh installs it)"
    exit 77
  fi
done

# The program waits until no process named evc.exe or revc.exe is left, by
# design; another program's encoder would hold this batch.
if pgrep -x evc.exe >/dev/null || pgrep -x revc.exe >/dev/null; then
  echo "SKIPPED: another program's evc.exe or revc.exe is running, and a batch waits for it"
  exit 77
fi

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  shot failed
  [[ -f $work/Tarquel/log.txt ]] && { echo "log.txt:"; cat "$work/Tarquel/log.txt"; }
  exit 1
}
# With TARQUEL_E2E_SHOTS set to a folder, screenshots of each step go there.
shot() {
  [[ -n ${TARQUEL_E2E_SHOTS:-} ]] && command -v import >/dev/null && import -window root "$TARQUEL_E2E_SHOTS/$1.png"
  return 0
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# A display nobody uses, and our own X server on it.
display=
for d in $(seq 91 160); do
  if [[ ! -e /tmp/.X11-unix/X$d && ! -e /tmp/.X$d-lock ]]; then display=:$d; break; fi
done
[[ -n $display ]] || fail "no free X display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wait_for 10 test -e "/tmp/.X11-unix/X${display#:}" || fail "Xvfb did not start"
export DISPLAY=$display

cp -r "$program_dir" "$work/Tarquel"
mkdir -p "$work/Tarquel/Config" "$work/media"
printf '[USRInfo]\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=%s\r\n' "$work/out" >"$work/Tarquel/Config/UserSettings.ini"
clip=$work/media/clip.avi
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=6 -f lavfi -i sine=duration=6 \
  -c:v mpeg4 -c:a libmp3lame -shortest "$clip" || fail "cannot make the clip"

only_main_window() { [[ $(xdotool search --onlyvisible --pid "$program_pid" --name '.' | wc -l) == 1 ]]; }
# Starts the program and waits until its main window takes keys: the caption
# carries the version once start-up has run, and the splash has closed when
# the main window is the only window left.
start_program() {
  (cd "$work/Tarquel" && exec ./Tarquel) >>"$work/program.out" 2>&1 &
  program_pid=$!
  wait_for 20 xdotool search --onlyvisible --pid "$program_pid" --name '^Tarquel [0-9]' || fail "no main window"
  wait_for 20 only_main_window || fail "the splash did not close"
  sleep 0.5
  window=$(xdotool search --onlyvisible --pid "$program_pid" --name '^Tarquel [0-9]' | head -1)
}
# Adds a file through the open dialog and starts the batch.
add_and_convert() {
  xdotool windowfocus --sync "$window"
  xdotool key ctrl+o
  # The dialog takes its time on a loaded machine: type only once it shows
  # and has the keys, and go on once it has closed again.
  wait_for 30 eval '! only_main_window' || fail "no open dialog"
  sleep 0.5
  dialog=$(xdotool search --onlyvisible --pid "$program_pid" --name '.' | grep -vx "$window" | head -1)
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  shot "$2-open-dialog"
  # Keys typed while the dialog is still busy (a sanitizer build on a
  # loaded machine) can be lost: the name is typed again, over what is in
  # the field, until the dialog closes.
  for attempt in 1 2 3; do
    xdotool type --delay 2 "$1"
    xdotool key Return
    wait_for 15 only_main_window && break
    ((attempt < 3)) || fail "the open dialog did not close"
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool key ctrl+a
  done
  sleep 1
  shot "$2-added"
  xdotool windowfocus --sync "$window"
  xdotool key ctrl+s
  sleep 1
  shot "$2-converting"
}
start_program
add_and_convert "$clip" 1
wait_for 20 test -s "$work/out/clip.mp4" || fail "no output file appeared"
wait_for 60 grep -q "parameter: " "$work/Tarquel/log.txt" || fail "no command in the log"
# Done when the program's encoder has ended and the output reads whole.
output_complete() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out/clip.mp4" | grep -q '^[0-9]'; }
wait_for 90 bash -c "! pgrep -P $program_pid -x evc.exe" || fail "the encoder did not end"
wait_for 10 output_complete || fail "the output cannot be read"
shot 1-done

duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out/clip.mp4")
codecs=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$work/out/clip.mp4" | tr '\n' ' ')
echo "output: $work/out/clip.mp4, $duration s, streams: $codecs"
awk -v d="$duration" 'BEGIN { exit !(d > 5.5 && d < 6.5) }' || fail "the output lasts $duration s, not 6"
[[ $codecs == "mpeg4 aac " ]] || fail "unexpected streams: $codecs"

# A zombie that nobody reaps has ended too.
ended() { [[ ! -e /proc/$1 ]] || grep -q '^[0-9]* (.*) Z' "/proc/$1/stat"; }
long=$work/media/long.avi
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=120 -f lavfi -i sine=duration=120 \
  -c:v mpeg4 -q:v 8 -c:a libmp3lame -shortest "$long" || fail "cannot make the long clip"
add_and_convert "$long" 2
wait_for 30 test -s "$work/out/long.mp4" || fail "the long clip's output did not appear"
encoder=$(pgrep -P "$program_pid" -x evc.exe) || fail "no encoder for the long clip"
kill -9 "$program_pid"
wait "$program_pid" 2>/dev/null
program_pid=
wait_for 5 ended "$encoder" || fail "the encoder outlived the program"
[[ -f $work/out/long.mp4 ]] || fail "the partial output was not there to remove"
start_program
wait_for 10 bash -c "! test -e '$work/out/long.mp4'" || fail "the next start left the partial output"
[[ -f $work/out/clip.mp4 ]] || fail "the next start removed a finished output"
grep -q "Removed the unfinished output $work/out/long.mp4" "$work/Tarquel/log.txt" || fail "no log line for the removal"
shot 2-after-restart
echo "PASSED"
