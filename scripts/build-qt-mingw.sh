#!/usr/bin/env bash
# Builds the Qt that scripts/test.sh --windows cross-builds against: Qt 6 (Core, Gui, Widgets,
# Test; shared libraries) for 64-bit Windows, built with Debian's MinGW-w64 cross compiler from
# Debian's own qt6-base source package, so that Debian's host tools (moc, rcc, uic of
# qt6-base-dev-tools) are of the same version. About an hour on two cores.
#   scripts/build-qt-mingw.sh [WORKDIR]      default WORKDIR: build-qt-mingw
# Then: BRELVO_QT_MINGW=WORKDIR/qt6-mingw scripts/test.sh --windows
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=$(realpath -m "${1:-build-qt-mingw}")
prefix="$work/qt6-mingw"
mkdir -p "$work"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    cmake ninja-build qt6-base-dev qt6-base-dev-tools dpkg-dev xz-utils \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    mingw-w64-x86-64-dev

# Debian's source of the Qt version that the host tools have.
if ! ls "$work"/qtbase-everywhere-src-* >/dev/null 2>&1; then
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
        $sudo apt-get update -qq
    fi
    (cd "$work" && apt-get source --download-only qt6-base && tar xf qt6-base_*.orig.tar.xz)
fi
src=$(ls -d "$work"/qtbase-everywhere-src-* | head -n1)

# Debian's source leaves out the Wintab tablet header: the Windows platform plugin is built
# without Wintab tablet support (mouse, touch and keyboard are unaffected).
plugin="$src/src/plugins/platforms/windows"
sed -i 's/QT_CONFIG(tabletevent)/0 \/\* Wintab: header not in this source \*\//' \
    "$plugin/qwindowscontext.cpp" "$plugin/qwindowspointerhandler.cpp" "$plugin/qwindowspointerhandler.h"
sed -i 's/CONDITION QT_FEATURE_tabletevent/CONDITION FALSE/' "$plugin/CMakeLists.txt" \
    "$src/src/plugins/platforms/direct2d/CMakeLists.txt"
# Qt 6.4.2's plugin asks for the dynamic OpenGL loader even in a build without OpenGL.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$plugin/qwindowswindow.cpp"

# Only what the program and its tests use; Qt's bundled third-party libraries, since Debian's are
# not there for Windows.
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF
cmake --build "$work/build" --parallel "$(nproc)"
cmake --install "$work/build"
tar -C "$work" -cJf "$work/qt6-mingw-w64-x86_64.tar.xz" qt6-mingw
echo "build-qt-mingw: $prefix (packed as $work/qt6-mingw-w64-x86_64.tar.xz)"
