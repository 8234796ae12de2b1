#!/usr/bin/env bash
# The program run from a program folder it cannot write, with a temporary
# home: its settings, log and script go to the user's XDG folders, made on
# first start; the encoder still runs from the program folder; the settings
# survive a restart. A writable copy keeps everything beside the program.
#   ReadOnlyFolderTest.sh PROGRAM_DIR HEADLESS_HELPER
set -euo pipefail
program_dir=$1
helper=$2

for tool in ffmpeg setpriv; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d /tmp/tarquel-readonly.XXXXXX)
tarquel_pid=
cleanup() {
  [[ -n $tarquel_pid ]] && kill "$tarquel_pid" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_file() { [[ -f $1 ]] || fail "missing $1"; }

# A program folder as the build makes it, with nothing written in it yet.
make_copy() {
  cp -r "$program_dir" "$1"
  rm -f "$1/log.txt" "$1/VideoFile.avs" "$1"/Config/*.ini
  cp "$helper" "$1/"
}
make_copy "$work/program"
chmod -R a-w "$work/program"

home=$work/home
mkdir -p "$home"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=sample_rate=44100 -t 2 \
  -c:v mpeg4 -c:a aac "$work/clip.mp4"

# As root every folder can be written; the read-only case runs as an
# account without privileges then.
as_user=(env)
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env)
fi
clean_env=(-u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME="$home")

# 1. The program itself makes its folders on first start.
QT_QPA_PLATFORM=offscreen "${as_user[@]}" "${clean_env[@]}" "$work/program/Tarquel" "$work/clip.mp4" \
  >"$work/tarquel.out" 2>&1 &
tarquel_pid=$!
for _ in $(seq 100); do
  [[ -d $home/.config/Tarquel/Config && -d $home/.local/state/Tarquel ]] && break
  sleep 0.1
done
[[ -d $home/.config/Tarquel/Config ]] || fail "Tarquel did not make ~/.config/Tarquel/Config"
[[ -d $home/.local/state/Tarquel ]] || fail "Tarquel did not make ~/.local/state/Tarquel"
sleep 2
kill -0 "$tarquel_pid" 2>/dev/null || { cat "$work/tarquel.out"; fail "Tarquel ended on its own"; }
kill "$tarquel_pid" 2>/dev/null || true
wait "$tarquel_pid" 2>/dev/null || true
tarquel_pid=

# 2. A conversion through the core, with the output folder set and saved.
"${as_user[@]}" "${clean_env[@]}" "$work/program/tarquel_headless_convert" --out "$home/Out" "$work/clip.mp4" \
  >"$work/run1.out" 2>&1 || { cat "$work/run1.out"; fail "the first conversion failed"; }
cat "$work/run1.out"
expect_file "$home/Out/clip.mp4"
expect_file "$home/.local/state/Tarquel/log.txt"
expect_file "$home/.local/state/Tarquel/VideoFile.avs"
expect_file "$home/.config/Tarquel/Config/UserSettings.ini"
grep -q "$work/program/evc.exe" "$home/.local/state/Tarquel/log.txt" 2>/dev/null ||
  fail "the log does not show the program folder's encoder"

# 3. A restart finds the saved output folder.
"${as_user[@]}" "${clean_env[@]}" "$work/program/tarquel_headless_convert" "$work/clip.mp4" \
  >"$work/run2.out" 2>&1 || { cat "$work/run2.out"; fail "the second conversion failed"; }
grep -qx "output $home/Out" "$work/run2.out" || { cat "$work/run2.out"; fail "the output folder did not survive"; }

# 4. The XDG variables move the folders.
"${as_user[@]}" HOME="$home" XDG_CONFIG_HOME="$home/cfg" XDG_STATE_HOME="$home/st" \
  "$work/program/tarquel_headless_convert" "$work/clip.mp4" >"$work/run3.out" 2>&1 ||
  { cat "$work/run3.out"; fail "the conversion with XDG variables failed"; }
expect_file "$home/cfg/Tarquel/Config/UserSettings.ini"
expect_file "$home/st/Tarquel/log.txt"

# Nothing was written into the read-only program folder.
written=$(find "$work/program" -name log.txt -o -name VideoFile.avs -o -name '*.ini')
[[ -z $written ]] || fail "written into the program folder: $written"

# 5. A writable copy is the portable layout: everything stays beside it.
make_copy "$work/portable"
env "${clean_env[@]}" HOME="$work/portable-home" "$work/portable/tarquel_headless_convert" --out "$work/out2" \
  "$work/clip.mp4" >"$work/run4.out" 2>&1 || { cat "$work/run4.out"; fail "the portable conversion failed"; }
expect_file "$work/portable/log.txt"
expect_file "$work/portable/VideoFile.avs"
expect_file "$work/portable/Config/UserSettings.ini"
[[ ! -e $work/portable-home/.config/Tarquel && ! -e $work/portable-home/.local/state/Tarquel ]] ||
  fail "the portable copy wrote into the home folder"

((failures == 0)) || exit 1
echo "OK"
