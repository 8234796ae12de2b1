#!/usr/bin/env bash
# Builds the Windows dependency kit for one architecture from Debian's own
# source packages: LAME, libjpeg-turbo and FFmpeg as static libraries, Qt's
# base modules as DLLs, all with Debian's mingw-w64 (posix thread model).
#
#   tools/windows-sdk.sh ARCH                  build the kit (or reuse it) and print its folder
#   tools/windows-sdk.sh --print-prefix ARCH   print the kit's folder, build nothing
#   tools/windows-sdk.sh --stage NAME ARCH     build one library's stage alone (lame, jpeg,
#                                              ffmpeg, qtbase) and print its folder
#
# ARCH is x86_64 or i686. The kit lands in
#   ${TARQUEL_SDK_CACHE:-${XDG_CACHE_HOME:-~/.cache}/tarquel}/win-sdk-ARCH-HASH
# where HASH covers the pinned versions and this script's own text. A kit
# is complete when its stamp file (.complete, written last) is there; it is
# assembled under another name and renamed into place, so a half-built kit
# never carries the final name. Each library is built into a stage folder
# of its own, keyed by its version and the text of its build step, so an
# edit to one step rebuilds that step alone.
set -euo pipefail
# The whole script is read before it runs, so that an edit to it cannot
# change a build that is running.
{

# The source packages, pinned to what Debian 12 serves.
LAME_VERSION=3.100-6
JPEG_VERSION=1:2.1.5-2
FFMPEG_VERSION=7:5.1.9-0+deb12u1
QTBASE_VERSION=6.4.2+dfsg-10
# The host Qt's tools (moc, rcc, uic) build the Windows Qt: same version.
HOST_QT_VERSION=6.4.2

BUILD_TOOLS=(dpkg-dev nasm pkg-config perl python3 cmake ninja-build make xz-utils)
JOBS=${TARQUEL_SDK_JOBS:-2}

usage() {
  echo "usage: $0 [--print-prefix | --stage lame|jpeg|ffmpeg|qtbase] x86_64|i686" >&2
  exit 2
}

print_only=0
only_stage=
if [[ ${1:-} == --print-prefix ]]; then
  print_only=1
  shift
elif [[ ${1:-} == --stage ]]; then
  only_stage=${2:-}
  shift 2 || usage
fi
[[ $# -eq 1 ]] || usage
ARCH=$1
case "$ARCH" in
  x86_64) TRIPLE=x86_64-w64-mingw32 FFMPEG_ARCH=x86_64 CMAKE_ARCH=AMD64 ;;
  i686) TRIPLE=i686-w64-mingw32 FFMPEG_ARCH=x86 CMAKE_ARCH=X86 ;;
  *) usage ;;
esac
CC_CROSS=$TRIPLE-gcc-posix
CXX_CROSS=$TRIPLE-g++-posix

SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
CACHE=${TARQUEL_SDK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarquel}
KIT_HASH=$( { cat "$SCRIPT"; echo "$ARCH $LAME_VERSION $JPEG_VERSION $FFMPEG_VERSION $QTBASE_VERSION"; } |
  sha256sum | cut -c1-12)
KIT=$CACHE/win-sdk-$ARCH-$KIT_HASH
STAMP=.complete

if ((print_only)); then
  echo "$KIT"
  exit 0
fi

if [[ -z $only_stage && -f $KIT/$STAMP ]]; then
  echo "kit ready (cached): $KIT" >&2
  echo "$KIT"
  exit 0
fi

DOWNLOADS=$CACHE/downloads
STAGES=$CACHE/stages/$ARCH
WORK=$CACHE/work/$ARCH
LOGS=$CACHE/logs/$ARCH
mkdir -p "$DOWNLOADS" "$STAGES" "$WORK" "$LOGS"

started_all=$SECONDS

# Runs one step with its output in a log file and prints its time.
step() {
  local name=$1
  shift
  local log t0=$SECONDS
  log=$LOGS/$(printf %s "$name" | tr -cs 'A-Za-z0-9' '-').log
  printf '%-28s ' "$name" >&2
  if "$@" >"$log" 2>&1; then
    echo "$((SECONDS - t0)) s" >&2
  else
    echo "FAILED after $((SECONDS - t0)) s; the log: $log" >&2
    tail -n 25 "$log" >&2
    exit 1
  fi
}

# --- 1. The source archive and the build tools ------------------------------

# A deb-src entry mirroring each deb entry of the system's sources.
write_deb_src() {
  local out=/etc/apt/sources.list.d/tarquel-deb-src.sources
  {
    echo "# The source packages the Windows kit of Tarquel is built from; written by tools/windows-sdk.sh."
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ $f == "$out" ]] && continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /(^|\n)Types:[^\n]*deb([ \n]|$)/ && !/(^|\n)Enabled: *no/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done
    if [[ -f /etc/apt/sources.list ]]; then
      # One-line entries become deb822 stanzas.
      awk '$1 == "deb" {
             i = 2; signed = "";
             if ($2 ~ /^\[/) { opts = $2; i = 3; if (match(opts, /signed-by=[^] ]*/)) signed = substr(opts, RSTART + 10, RLENGTH - 10) }
             printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1);
             for (j = i + 2; j <= NF; j++) printf " %s", $j;
             printf "\n"; if (signed != "") printf "Signed-By: %s\n", signed; printf "\n" }' /etc/apt/sources.list
    fi
  } >"$out.new"
  mv "$out.new" "$out"
}

have_sources() { apt-cache showsrc lame 2>/dev/null | grep -qx "Version: $LAME_VERSION"; }

missing_tools() {
  local p
  for p in "${BUILD_TOOLS[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
  command -v "$CC_CROSS" >/dev/null || echo "g++-mingw-w64-${ARCH/_/-}-posix"
}

prepare_system() {
  if ! have_sources; then
    if ((EUID != 0)); then
      echo "No deb-src entry: as root, add one (a copy of your deb entries with 'Types: deb-src'" >&2
      echo "in /etc/apt/sources.list.d/tarquel-deb-src.sources), run 'apt-get update', then run this again." >&2
      exit 1
    fi
    step "apt: deb-src entry" write_deb_src
    step "apt: update" apt-get update
  fi
  local missing
  missing=$(missing_tools | sort -u | tr '\n' ' ')
  if [[ -n ${missing// /} ]]; then
    if ((EUID != 0)); then
      echo "Missing build tools; as root: apt-get install $missing" >&2
      exit 1
    fi
    # shellcheck disable=SC2086
    step "apt: build tools" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
  fi
  local host_qt
  host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
  if [[ $host_qt != "$HOST_QT_VERSION"* ]]; then
    echo "The host Qt (qt6-base-dev) must be $HOST_QT_VERSION to build Qt for Windows; found '${host_qt:-none}'." >&2
    exit 1
  fi
}

# --- 2. The pinned source packages ------------------------------------------

# The .dsc's SHA-256 as the signed archive index gives it.
index_dsc_sha256() {
  local package=$1 version=$2
  apt-cache showsrc "$package" | awk -v v="$version" '
    /^Version:/ { ok = ($2 == v) }
    /^Checksums-Sha256:/ { in_sums = ok; next }
    /^[^ ]/ { in_sums = 0 }
    in_sums && $3 ~ /\.dsc$/ { print $1; exit }'
}

dsc_name() {
  local package=$1 version=${2#*:}
  echo "${package}_${version}.dsc"
}

# Downloads the source package unless it is there, and checks the .dsc
# against the archive index (apt-get checks it while downloading; a cached
# one is checked again here). dpkg-source then checks the tarballs against
# the .dsc when it unpacks them.
fetch_source() {
  local package=$1 version=$2 dsc want got
  dsc=$(dsc_name "$package" "$version")
  want=$(index_dsc_sha256 "$package" "$version")
  if [[ -z $want ]]; then
    echo "The archive does not serve $package $version any more." >&2
    return 1
  fi
  if [[ ! -f $DOWNLOADS/$dsc ]]; then
    (cd "$DOWNLOADS" && apt-get source --download-only "$package=$version")
  fi
  got=$(sha256sum "$DOWNLOADS/$dsc" | cut -d' ' -f1)
  if [[ $got != "$want" ]]; then
    echo "$dsc: SHA-256 $got, the archive says $want" >&2
    return 1
  fi
}

# Unpacks a source package (with Debian's patches) into a fresh folder.
unpack_source() {
  local package=$1 version=$2 into=$3
  rm -rf "$into"
  dpkg-source --no-copy -x "$DOWNLOADS/$(dsc_name "$package" "$version")" "$into"
}

# --- 3. The libraries ---------------------------------------------------------

# A CMake toolchain for the libraries' own CMake builds.
write_cmake_toolchain() {
  cat >"$1" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $CMAKE_ARCH)
set(CMAKE_C_COMPILER $CC_CROSS)
set(CMAKE_CXX_COMPILER $CXX_CROSS)
set(CMAKE_RC_COMPILER $TRIPLE-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$TRIPLE $2)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

stage_lame() {
  local src=$WORK/lame out=$1
  step "lame: unpack" unpack_source lame "$LAME_VERSION" "$src"
  # Debian's patches touch configure.in; the shipped configure is what
  # builds, so the autotools must not run again. (Its file names are plain.)
  # shellcheck disable=SC2038
  find "$src" -name configure -o -name 'Makefile.in' -o -name aclocal.m4 -o -name config.h.in | xargs touch
  step "lame: configure" bash -c "cd '$src' && ./configure --host=$TRIPLE CC=$CC_CROSS --prefix='$out' \
    --disable-shared --enable-static --disable-frontend --disable-decoder --disable-gtktest \
    --disable-dependency-tracking CFLAGS='-O2'"
  step "lame: build" make -C "$src" -j"$JOBS"
  step "lame: install" make -C "$src" install
}

stage_jpeg() {
  local src=$WORK/jpeg build=$WORK/jpeg-build out=$1
  step "jpeg: unpack" unpack_source libjpeg-turbo "$JPEG_VERSION" "$src"
  rm -rf "$build" && mkdir -p "$build"
  write_cmake_toolchain "$build/toolchain.cmake" ""
  step "jpeg: configure" cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
  step "jpeg: build" cmake --build "$build" -j "$JOBS"
  step "jpeg: install" cmake --install "$build"
}

# The FFmpeg configuration: all demuxers, decoders and parsers; the
# encoders, muxers and filters the encoders and the probe use.
FFMPEG_ENCODERS=mpeg4,aac,libmp3lame
FFMPEG_MUXERS=mp4,ipod,psp,mp3,adts,avi,mov
FFMPEG_FILTERS=buffer,buffersink,abuffer,abuffersink,trim,atrim,setpts,asetpts,fps,scale,transpose,hflip,vflip,pad,setsar,format,aformat,volume,alimiter,aresample,asettb,anullsrc,null,anull

stage_ffmpeg() {
  local src=$WORK/ffmpeg build=$WORK/ffmpeg-build out=$1 lame=$2
  step "ffmpeg: unpack" unpack_source ffmpeg "$FFMPEG_VERSION" "$src"
  rm -rf "$build" && mkdir -p "$build"
  step "ffmpeg: configure" bash -c "cd '$build' && '$src/configure' --prefix='$out' \
    --target-os=mingw32 --arch=$FFMPEG_ARCH --enable-cross-compile --cross-prefix=$TRIPLE- \
    --cc=$CC_CROSS --cxx=$CXX_CROSS --pkg-config=pkg-config --pkg-config-flags=--static \
    --enable-static --disable-shared --enable-gpl --enable-w32threads --disable-autodetect \
    --disable-programs --disable-doc --disable-network --disable-debug \
    --disable-everything --enable-demuxers --enable-decoders --enable-parsers \
    --enable-protocol=file,pipe --enable-encoder=$FFMPEG_ENCODERS --enable-muxer=$FFMPEG_MUXERS \
    --enable-filter=$FFMPEG_FILTERS --enable-bsf=aac_adtstoasc,mpeg4_unpack_bframes,extract_extradata \
    --enable-swscale --enable-swresample --enable-avfilter --disable-postproc --disable-avdevice \
    --enable-libmp3lame --extra-cflags='-I$lame/include' --extra-ldflags='-L$lame/lib'"
  step "ffmpeg: build" make -C "$build" -j"$JOBS"
  step "ffmpeg: install" make -C "$build" install
}

# Qt's base modules: Core, Gui, Widgets and Test as DLLs with the windows
# platform plugin, with its own zlib, libpng, libjpeg, FreeType, HarfBuzz
# and PCRE2. Debian's source has no Wintab headers (their licence does not
# allow changes), so there are no tablet events. The compiler's runtime
# (libgcc, libstdc++, winpthread) is linked into each DLL, so that the
# program folder needs no compiler DLLs.
stage_qtbase() {
  local src=$WORK/qtbase build=$WORK/qtbase-build out=$1
  # The longest build: one cut short resumes where it stopped, when its
  # tree was configured by the same configure step.
  local configured
  configured=$(declare -f qtbase_configure write_cmake_toolchain unpack_source | sha256sum | cut -c1-12)
  if [[ -f $build/.configured && $(cat "$build/.configured") == "$configured" ]]; then
    printf '%-28s resumed\n' "qtbase: configure" >&2
  else
    qtbase_configure "$src" "$build" "$out"
    echo "$configured" >"$build/.configured"
  fi
  step "qtbase: patch" qtbase_patch "$src"
  step "qtbase: build" cmake --build "$build" -j "$JOBS"
  step "qtbase: install" cmake --install "$build" --prefix "$out"
}

# Qt 6.4.2's windows plugin does not build with OpenGL and Direct2D off:
# it asks the dynamic OpenGL loader whether it is a software renderer, and
# it makes the DirectWrite font database (an option, not the default) that
# Qt Gui builds only with Direct2D on.
qtbase_patch() {
  local dir=$1/src/plugins/platforms/windows
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' "$dir/qwindowswindow.cpp"
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$dir/qwindowsintegration.cpp"
  grep -c 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$dir/qwindowswindow.cpp"
  grep -c 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$dir/qwindowsintegration.cpp"
}

qtbase_configure() {
  local src=$1 build=$2 out=$3
  step "qtbase: unpack" unpack_source qt6-base "$QTBASE_VERSION" "$src"
  rm -rf "$build" && mkdir -p "$build"
  write_cmake_toolchain "$build/toolchain.cmake" "$out"
  step "qtbase: configure" cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_SHARED_LINKER_FLAGS=-static -DCMAKE_MODULE_LINKER_FLAGS=-static -DCMAKE_EXE_LINKER_FLAGS=-static \
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_zstd=OFF -DFEATURE_androiddeployqt=OFF -DFEATURE_testlib=ON \
    -DFEATURE_tabletevent=OFF -DINPUT_openssl=no
}

# Builds one stage unless a finished one with the same key is there. The
# key covers the package version, the stage's own text and its inputs.
# Sets STAGE_DIR.
run_stage() {
  local name=$1 version=$2
  shift 2
  local key
  key=$( { declare -f "stage_$name" write_cmake_toolchain unpack_source; [[ $name == qtbase ]] && declare -f qtbase_configure qtbase_patch; echo "$ARCH $TRIPLE $version $*";
           declare -p FFMPEG_ENCODERS FFMPEG_MUXERS FFMPEG_FILTERS; "$CC_CROSS" --version | head -1; } |
         sha256sum | cut -c1-12)
  STAGE_DIR=$STAGES/$name-$key
  if [[ -f $STAGE_DIR/$STAMP ]]; then
    printf '%-28s cached\n' "$name" >&2
    return
  fi
  local package=$name t0=$SECONDS
  case "$name" in jpeg) package=libjpeg-turbo ;; qtbase) package=qt6-base ;; esac
  step "$name: fetch" fetch_source "$package" "$version"
  rm -rf "$STAGE_DIR"
  "stage_$name" "$STAGE_DIR" "$@"
  rm -rf "${WORK:?}/$name" "${WORK:?}/$name-build"
  touch "$STAGE_DIR/$STAMP"
  printf '%-28s %d s\n' "$name: all" "$((SECONDS - t0))" >&2
}

# --- 4. The kit ----------------------------------------------------------------

# pkg-config files with the kit's own prefix whatever folder it is in, and
# the private libraries in Libs: the libraries are static, and CMake's
# pkg_check_modules reads Libs.
relocate_pc() {
  local pc=$1
  sed -i -E \
    -e 's|^prefix=.*|prefix=${pcfiledir}/../..|' \
    -e 's|^exec_prefix=.*|exec_prefix=${prefix}|' \
    -e 's|^libdir=.*|libdir=${prefix}/lib|' \
    -e 's|^includedir=.*|includedir=${prefix}/include|' "$pc"
  local private requires_private
  private=$(sed -n 's/^Libs.private: *//p' "$pc")
  requires_private=$(sed -n 's/^Requires.private: *//p' "$pc")
  sed -i -E '/^Libs.private:/d; /^Requires.private:/d' "$pc"
  [[ -n $private ]] && sed -i -E "s|^(Libs:.*)$|\1 $private|" "$pc"
  if [[ -n $requires_private ]]; then
    if grep -q '^Requires:' "$pc"; then
      sed -i -E "s|^Requires:(.*)$|Requires:\1, $requires_private|; s|^Requires: *, |Requires: |" "$pc"
    else
      echo "Requires: $requires_private" >>"$pc"
    fi
  fi
}

assemble_kit() {
  local partial=$KIT.partial stage
  rm -rf "$partial"
  mkdir -p "$partial"
  for stage in "$@"; do
    cp -a "$stage/." "$partial/"
  done
  rm -f "$partial/$STAMP"
  # LAME has no pkg-config file of its own.
  cat >"$partial/lib/pkgconfig/libmp3lame.pc" <<'EOF'
prefix=${pcfiledir}/../..
libdir=${prefix}/lib
includedir=${prefix}/include

Name: libmp3lame
Description: MP3 encoder (LAME)
Version: 3.100
Libs: -L${libdir} -lmp3lame
Cflags: -I${includedir}
EOF
  local pc
  for pc in "$partial"/lib/pkgconfig/*.pc; do relocate_pc "$pc"; done
  # libtool's files name the stage folders.
  rm -f "$partial"/lib/*.la
  {
    echo "arch=$ARCH"
    echo "triple=$TRIPLE"
    echo "lame=$LAME_VERSION"
    echo "libjpeg-turbo=$JPEG_VERSION"
    echo "ffmpeg=$FFMPEG_VERSION"
    echo "qtbase=$QTBASE_VERSION"
    echo "ffmpeg-encoders=$FFMPEG_ENCODERS"
    echo "ffmpeg-muxers=$FFMPEG_MUXERS"
    echo "ffmpeg-filters=$FFMPEG_FILTERS"
  } >"$partial/kit-versions.txt"
  date -u +%FT%TZ >"$partial/$STAMP"
  rm -rf "$KIT"
  mv "$partial" "$KIT"
}

prepare_system
run_stage lame "$LAME_VERSION"
lame_dir=$STAGE_DIR
[[ $only_stage == lame ]] && { echo "$lame_dir"; exit 0; }
run_stage jpeg "$JPEG_VERSION"
jpeg_dir=$STAGE_DIR
[[ $only_stage == jpeg ]] && { echo "$jpeg_dir"; exit 0; }
run_stage ffmpeg "$FFMPEG_VERSION" "$lame_dir"
ffmpeg_dir=$STAGE_DIR
[[ $only_stage == ffmpeg ]] && { echo "$ffmpeg_dir"; exit 0; }
run_stage qtbase "$QTBASE_VERSION"
qtbase_dir=$STAGE_DIR
[[ $only_stage == qtbase ]] && { echo "$qtbase_dir"; exit 0; }
[[ -z $only_stage ]] || usage
kit_stages=("$lame_dir" "$jpeg_dir" "$ffmpeg_dir" "$qtbase_dir")
step "kit: assemble" assemble_kit "${kit_stages[@]}"
echo "kit ready in $((SECONDS - started_all)) s: $KIT" >&2
echo "$KIT"
exit 0
}
