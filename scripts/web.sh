#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kelvora in a web page: installs what is missing, builds the page into build/web and serves it.
#
#   scripts/web.sh                       build, then serve build/web on http://127.0.0.1:8000
#   scripts/web.sh build                 build only
#   scripts/web.sh test SCRIPT OUT.png   play a kelvora-replay script in headless Chromium against the
#                                        built page; OUT.png gets the canvas's final pixels at 1x
set -euo pipefail
caller=$PWD  # SCRIPT, OUT.png and the script's own shots are named from here
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build/web-deps     # the libraries for WebAssembly and their sources, built once and kept
page=$root/build/web          # the page as served
cmake_dir=$root/build/web-cmake
export NODE_PATH=/usr/share/nodejs  # Debian's emscripten finds acorn there

install_packages() {
  scripts/deps.sh # emscripten, fast_float, chromium and npm among the rest
}

# Sources come from Debian's archive, through a source list private to build/web-deps: the machine's
# apt configuration is not touched.
apt_source() {
  local apt_dir=$deps/apt
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  if [ ! -f "$apt_dir/sources.list" ]; then
    . /etc/os-release
    printf 'deb-src http://deb.debian.org/debian %s main\ndeb-src http://deb.debian.org/debian-security %s-security main\n' \
      "$VERSION_CODENAME" "$VERSION_CODENAME" >"$apt_dir/sources.list"
  fi
  apt-get -qq -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" "$@"
}

# Unpacks Debian's source of package SOURCE into build/web-deps/NAME-src, of the version the desktop's
# binary package BINARY has. The archive keeps only the newest source of a suite: when the installed
# version has been superseded, the newest is taken (a security update does not change what is drawn or
# computed); when a Debian part of it is missing from the mirror, the upstream tarball alone.
sources_listed=
fetch_source() {
  local source=$1 binary=$2 name=$3 version dsc orig
  version=$(dpkg-query -W -f='${Version}' "$binary")
  rm -rf "$deps/$name-src"
  [ -n "$sources_listed" ] || { apt_source update; sources_listed=1; }
  (cd "$deps" && { apt_source source --download-only "$source=$version" 2>/dev/null ||
                   apt_source source --download-only "$source" 2>/dev/null || true; })
  dsc=$(ls -t "$deps/${source}_"*.dsc 2>/dev/null | head -n 1 || true)
  if [ -n "$dsc" ] && dpkg-source -x "$dsc" "$deps/$name-src" >/dev/null 2>&1; then return 0; fi
  orig=$(ls -t "$deps/${source}_"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | grep -v -- '-[a-z0-9]*\.tar' | head -n 1 || true)
  [ -n "$orig" ] || { echo "web.sh: the source of $source could not be downloaded" >&2; exit 1; }
  rm -rf "$deps/$name-src"
  mkdir -p "$deps/$name-src"
  tar -xf "$orig" -C "$deps/$name-src" --strip-components=1
}

# FreeType from Debian's source package of the very version the desktop build links, so that the
# page's glyphs are the desktop's pixel for pixel.
build_freetype() {
  [ -f "$deps/freetype/lib/libfreetype.a" ] && return 0
  echo "Building FreeType for WebAssembly (once; kept in build/web-deps)" >&2
  fetch_source freetype libfreetype6 freetype
  rm -rf "$deps/freetype-build"
  emcmake cmake -S "$deps/freetype-src" -B "$deps/freetype-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/freetype" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >/dev/null
  cmake --build "$deps/freetype-build" >/dev/null
  cmake --install "$deps/freetype-build" >/dev/null
}

# kelvora-fit's libraries for its module in the page, each from Debian's source of the version the
# desktop links, static, into build/web-deps/fit; only what kelvora-fit uses is configured and built.
fit_prefix() { echo "$deps/fit"; }

# zlib's names carry the prefix z_ (and its table of messages another name): FreeType, the device's
# build kept as it is, has an inflate of its own.
build_zlib() {
  [ -f "$deps/fit/lib/libz.a" ] && return 0
  fetch_source zlib zlib1g zlib
  (cd "$deps/zlib-src" && CFLAGS="-O2 -Dz_errmsg=zlib_z_errmsg" emconfigure ./configure --static --zprefix --prefix="$deps/fit" >/dev/null &&
    emmake make -s libz.a >/dev/null && emmake make -s install >/dev/null)
}

build_png() {
  [ -f "$deps/fit/lib/libpng16.a" ] && return 0
  fetch_source libpng1.6 libpng16-16 png
  rm -rf "$deps/png-build"
  emcmake cmake -S "$deps/png-src" -B "$deps/png-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/fit" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DZLIB_LIBRARY="$deps/fit/lib/libz.a" -DZLIB_INCLUDE_DIR="$deps/fit/include" \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=OFF >/dev/null
  cmake --build "$deps/png-build" --target png_static >/dev/null
  cmake --install "$deps/png-build" >/dev/null
}

# Runs a source's configure for WebAssembly: static, into build/web-deps/fit, finding the libraries
# built before it (and FreeType) through their pkg-config files only.
configure_for_page() {
  # Debian's patches to configure.ac and Makefile.am are its packaging's: the generated configure and
  # Makefile.in are used as they are, without autotools (dated after everything they are made from).
  find . -exec touch -h -d 2000-01-01 {} +
  touch -d 2000-01-02 aclocal.m4
  find . \( -name configure -o -name 'config.h.in' \) -exec touch -d 2000-01-03 {} +
  find . -name Makefile.in -exec touch -d 2000-01-04 {} +
  local host=wasm32-unknown-emscripten sub
  # An older configure does not know the emscripten system: its bare WebAssembly host then.
  sub=$(ls config.sub build/config.sub 2>/dev/null | head -n 1 || true)
  [ -n "$sub" ] && ! sh "$sub" "$host" >/dev/null 2>&1 && host=wasm32-unknown-none
  EM_PKG_CONFIG_PATH="$deps/fit/lib/pkgconfig:$deps/freetype/lib/pkgconfig" \
    CFLAGS="-O2 -I$deps/fit/include" LDFLAGS="-L$deps/fit/lib" \
    emconfigure ./configure --host="$host" --prefix="$deps/fit" --disable-shared --enable-static "$@" >/dev/null
}

build_pixman() {
  [ -f "$deps/fit/lib/libpixman-1.a" ] && return 0
  fetch_source pixman libpixman-1-0 pixman
  (cd "$deps/pixman-src" && configure_for_page --disable-gtk --disable-libpng --disable-openmp --disable-loongson-mmi \
      --disable-mmx --disable-sse2 --disable-ssse3 --disable-vmx --disable-arm-simd --disable-arm-neon \
      --disable-arm-iwmmxt --disable-mips-dspr2 --disable-gcc-inline-asm --disable-timers &&
    emmake make -s -C pixman >/dev/null && emmake make -s -C pixman install >/dev/null && emmake make -s install-pkgconfigDATA >/dev/null)
}

# cairo's image, SVG and PDF surfaces (kelvora-fit writes both vector formats), text through FreeType
# from a font file, no fontconfig, no windowing system, no locks (the module runs one thread). Its
# configure is told what it cannot find out for WebAssembly: the byte order of doubles, and zlib,
# whose names carry the prefix.
build_cairo() {
  [ -f "$deps/fit/lib/libcairo.a" ] && return 0
  fetch_source cairo libcairo2 cairo
  (cd "$deps/cairo-src" && CPPFLAGS=-DCAIRO_NO_MUTEX=1 ax_cv_c_float_words_bigendian=no ac_cv_lib_z_compress=yes configure_for_page --enable-png --enable-svg --enable-pdf --enable-ft --disable-fc \
      --disable-ps --disable-script --disable-interpreter --disable-trace --disable-xlib --disable-xlib-xrender \
      --disable-xcb --disable-xcb-shm --disable-quartz --disable-win32 --disable-gl --disable-glesv2 --disable-egl \
      --disable-glx --disable-wgl --disable-directfb --disable-vg --disable-gobject --disable-valgrind \
      --disable-full-testing --disable-symbol-lookup --disable-pthread --disable-test-surfaces &&
    emmake make -s -C src libcairo.la >/dev/null && emmake make -s -C src install-libLTLIBRARIES install-cairoincludeHEADERS install-nodist_cairoincludeHEADERS install-pkgconfigDATA >/dev/null)
}

# GSL's parts that kelvora-fit's fits and intervals use (the nonlinear least-squares solvers and what
# they stand on, Student's t and F, the root finder of profile intervals, the bootstrap's generator),
# not the whole library. A cached build of other parts is made again.
GSL_PARTS="sys err utils complex block vector matrix permutation blas linalg eigen multifit multifit_nlinear
           multilarge_nlinear cdf specfunc randist poly ieee-utils sort statistics roots rng"
gsl_built() {
  [ -f "$deps/fit/lib/libgsl.a" ] && [ "$(cat "$deps/fit/lib/gsl-parts" 2>/dev/null)" = "$GSL_PARTS" ]
}
build_gsl() {
  gsl_built && return 0
  rm -f "$deps/fit/lib/libgsl.a" "$deps/fit/lib/libgslcblas.a"
  fetch_source gsl libgsl27 gsl
  local part objects=()
  (cd "$deps/gsl-src" && configure_for_page && emmake make -s -C gsl >/dev/null &&
    for part in $GSL_PARTS cblas; do emmake make -s -C "$part" "libgsl$part.la" >/dev/null 2>&1 ||
      emmake make -s -C "$part" >/dev/null; done)
  mkdir -p "$deps/fit/include/gsl" "$deps/fit/lib/pkgconfig"
  cp -L "$deps/gsl-src"/gsl/*.h "$deps/fit/include/gsl/"
  for part in $GSL_PARTS; do objects+=("$deps/gsl-src/$part"/*.o); done
  emar qcs "$deps/fit/lib/libgsl.a" "${objects[@]}"
  emar qcs "$deps/fit/lib/libgslcblas.a" "$deps/gsl-src/cblas"/*.o
  printf '%s' "$GSL_PARTS" >"$deps/fit/lib/gsl-parts"
  printf 'prefix=%s\nName: GSL\nDescription: GNU Scientific Library\nVersion: %s\nLibs: -L${prefix}/lib -lgsl -lgslcblas\nCflags: -I${prefix}/include\n' \
    "$deps/fit" "$(dpkg-query -W -f='${Version}' libgsl27)" >"$deps/fit/lib/pkgconfig/gsl.pc"
}

build_fit_libraries() {
  local started=$SECONDS
  [ -f "$deps/fit/lib/libcairo.a" ] && gsl_built && return 0
  echo "Building kelvora-fit's libraries for WebAssembly (once; kept in build/web-deps)" >&2
  build_zlib
  build_png
  build_pixman
  build_cairo
  build_gsl
  echo "kelvora-fit's libraries built in $((SECONDS - started)) s" >&2
}

build_page() {
  install_packages
  mkdir -p "$deps/include"
  build_freetype
  build_fit_libraries
  ln -sfn /usr/include/fast_float "$deps/include/fast_float"
  local font
  font=$(fc-match "DejaVu Sans" --format='%{file}')
  [ -f "$font" ] || { echo "web.sh: the font DejaVu Sans is not installed" >&2; exit 1; }
  if [ ! -f "$cmake_dir/build.ninja" ]; then
    emcmake cmake -S . -B "$cmake_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKELVORA_WEB_DEPS="$deps" -DKELVORA_WEB_FONT="$font" >/dev/null
  fi
  cmake --build "$cmake_dir" --target kelvora_page
  echo "The page is in build/web" >&2
}

# The browser test driver (puppeteer-core, versions fixed by web/test/package-lock.json).
install_driver() {
  [ -d web/test/node_modules/puppeteer-core ] && return 0
  (cd web/test && npm ci --no-audit --no-fund --silent)
}

case "${1:-serve}" in
  build) build_page ;;
  serve)
    build_page
    exec node web/test/serve.js "$page" 8000
    ;;
  test)
    [ $# -eq 3 ] || { echo "usage: scripts/web.sh test SCRIPT OUT.png" >&2; exit 2; }
    [ -f "$page/index.html" ] || build_page
    install_driver
    cd "$caller"
    exec node "$root/web/test/play.js" "$page" "$2" "$3"
    ;;
  *) echo "usage: scripts/web.sh [build | test SCRIPT OUT.png]" >&2; exit 2 ;;
esac
