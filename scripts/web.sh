#!/usr/bin/env bash
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
deps=$root/build/web-deps     # FreeType for WebAssembly and its source, built once and kept
page=$root/build/web          # the page as served
cmake_dir=$root/build/web-cmake
export NODE_PATH=/usr/share/nodejs  # Debian's emscripten finds acorn there

install_packages() {
  scripts/deps.sh # emscripten, fast_float, chromium and npm among the rest
}

# FreeType from Debian's source package of the very version the desktop build links, so that the
# page's glyphs are the desktop's pixel for pixel. The source list is private to build/web-deps: the
# machine's apt configuration is not touched.
build_freetype() {
  [ -f "$deps/freetype/lib/libfreetype.a" ] && return 0
  local version apt_dir
  version=$(dpkg-query -W -f='${Version}' libfreetype6)
  apt_dir=$deps/apt
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  . /etc/os-release
  printf 'deb-src http://deb.debian.org/debian %s main\ndeb-src http://deb.debian.org/debian-security %s-security main\n' \
    "$VERSION_CODENAME" "$VERSION_CODENAME" >"$apt_dir/sources.list"
  local apt=(apt-get -qq -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
  echo "Building FreeType $version for WebAssembly (once; kept in build/web-deps)" >&2
  # The archive keeps only the newest source of a suite: when the installed version has been
  # superseded, take the newest (a security update does not change how glyphs are drawn).
  (cd "$deps" && "${apt[@]}" update &&
    { "${apt[@]}" source --download-only "freetype=$version" 2>/dev/null ||
      "${apt[@]}" source --download-only freetype 2>/dev/null; })
  local dsc
  dsc=$(ls "$deps"/freetype_*.dsc 2>/dev/null | head -n 1)
  [ -n "$dsc" ] || { echo "web.sh: FreeType's source could not be downloaded" >&2; exit 1; }
  rm -rf "$deps/freetype-src" "$deps/freetype-build"
  dpkg-source -x "$dsc" "$deps/freetype-src" >/dev/null
  emcmake cmake -S "$deps/freetype-src" -B "$deps/freetype-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/freetype" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >/dev/null
  cmake --build "$deps/freetype-build" >/dev/null
  cmake --install "$deps/freetype-build" >/dev/null
}

build_page() {
  install_packages
  mkdir -p "$deps/include"
  build_freetype
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
