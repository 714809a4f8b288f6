#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test.
#   scripts/test.sh               as CI runs it on Linux: a normal build, then an AddressSanitizer
#                                 + UndefinedBehaviorSanitizer build (with LeakSanitizer), each
#                                 fuzz target for 30 seconds, the release archive built, unpacked
#                                 and started, and the CI workflow's syntax
#   scripts/test.sh --quick       the normal build only, without the slow tests
#   scripts/test.sh --windows     the Windows build, cross-built with MinGW-w64 into
#                                 build-windows/: every suite under Wine, the program file's
#                                 resources read back, and the release ZIP built, unpacked and
#                                 started under Wine and Xvfb (build-windows/windows-screenshot.png)
#   scripts/test.sh --debian13    a Debian 13 root made from nothing in build-debian13/ (debootstrap,
#                                 about 5 minutes), a fresh clone of this checkout's HEAD in it,
#                                 and `scripts/test.sh --quick` run there, as a newcomer would
# The Windows build needs Qt cross-built for Windows: the one named by BRELVO_QT_MINGW, else the
# one in ../shared/toolchains/, unpacked into build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

mode=${1:-}

# The realadb suite runs on the real adb that the captures were made with: adb 1.0.41 of
# platform tools 29.0.6 (Debian 12) or 34.0.5 (Debian 13), and under Wine the adb.exe of
# ../shared/toolchains/adb-windows/. Without it the suite would fail; this says why first.
require_real_adb() {
    local said
    said=$(adb version 2>/dev/null) || { echo "test.sh: no adb on PATH: install Debian's adb package"; exit 1; }
    case "$said" in
        *"Version 29.0.6"* | *"Version 34.0.5"*) ;;
        *) echo "test.sh: the adb on PATH is not 1.0.41 of platform tools 29.0.6 or 34.0.5:"; echo "$said"; exit 1 ;;
    esac
}

run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRELVO_WERROR=ON \
        -DBRELVO_REQUIRE_REAL_ADB=ON "$@"
    cmake --build "$dir" --parallel "$(nproc)"
    local ctest_args=(--test-dir "$dir" --output-on-failure --parallel "$(nproc)")
    [ "$mode" = "--quick" ] && ctest_args+=(--label-exclude slow)
    ctest "${ctest_args[@]}"
}

windows() {
    brelvo_install_missing g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 \
        python3-pefile
    local build=build-windows qt=${BRELVO_QT_MINGW:-}
    local packed=../shared/toolchains/qt6-mingw-w64-x86_64.tar.xz
    mkdir -p "$build"
    if [ -z "$qt" ]; then
        qt=$build/qt6-mingw
        if [ ! -d "$qt" ]; then
            if [ ! -f "$packed" ]; then
                echo "test.sh: no Qt for Windows. Build one (about an hour) and name it:"
                echo "    scripts/build-qt-mingw.sh"
                echo "    BRELVO_QT_MINGW=\$PWD/build-qt-mingw/qt6-mingw scripts/test.sh --windows"
                exit 1
            fi
            tar -C "$build" -xf "$packed"
        fi
    fi
    qt=$(realpath "$qt")
    # The real adb.exe of the realadb suite, as it was built from adb's source.
    local adb_exe=../shared/toolchains/adb-windows/adb.exe
    [ -f "$adb_exe" ] || { echo "test.sh: no $adb_exe, which the realadb suite runs under Wine"; exit 1; }
    echo "73b11e3ab379e236bfcc794928fb9ff9b4687728486b0f2082217847ed53a3df  $adb_exe" \
        | sha256sum --check --quiet || { echo "test.sh: $adb_exe is not the one its README names"; exit 1; }

    # One Wine prefix in the build folder and one Wine server kept running for the whole suite:
    # each program then starts in a fraction of a second instead of several.
    export WINEPREFIX=$PWD/$build/wineprefix WINEDEBUG=-all
    local gcc_dlls
    gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    export WINEPATH="$qt/bin;$gcc_dlls;/usr/x86_64-w64-mingw32/lib"
    mkdir -p "$WINEPREFIX"
    wineserver --persistent
    trap 'wineserver --kill' EXIT
    [ -d "$WINEPREFIX/drive_c" ] || wineboot --init >/dev/null 2>&1

    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELVO_WERROR=ON \
        -DBRELVO_REQUIRE_REAL_ADB=ON \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_FIND_ROOT_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/wine-run.sh"
    cmake --build "$build" --parallel "$(nproc)"
    ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
    # A fresh Wine session for the archive's check on a real X display: what the suite left
    # behind (a desktop process started without a display, an adb.exe server) must not be what
    # the program's window meets.
    wineserver --kill
    wineserver --persistent
    (cd "$build" && cpack)
    scripts/check-windows-archive.sh "$build"/BrelvoPico-*-windows-x64.zip "$build/fakeadb.exe" \
        "$build/AdbWinApi.dll" scripts/simulated-headset.json "$build/windows-screenshot.png"
}

debian13_root=$PWD/build-debian13/root
debian13_mounts=(proc sys dev dev/pts)
unmount_debian13() {
    local i m
    for ((i = ${#debian13_mounts[@]} - 1; i >= 0; i--)); do
        m=$debian13_root/${debian13_mounts[i]}
        while mountpoint -q "$m"; do umount -l "$m"; done
    done
}

debian13() {
    brelvo_install_missing debootstrap git
    local root=$debian13_root
    # A root left by an earlier run is unmounted first, and removed without leaving its own
    # file system, so that nothing of the host's /dev or /proc goes with it.
    if [ -d "$root" ]; then
        unmount_debian13
        rm -rf --one-file-system "$root"
    fi
    mkdir -p "$root"
    echo "== Debian 13 root (debootstrap --variant=minbase trixie)"
    debootstrap --variant=minbase trixie "$root" http://deb.debian.org/debian >build-debian13/debootstrap.log 2>&1 \
        || { tail -20 build-debian13/debootstrap.log; exit 1; }
    trap unmount_debian13 EXIT
    local m
    for m in "${debian13_mounts[@]}"; do mount --bind "/$m" "$root/$m"; done
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    git clone --quiet "$PWD" "$root/root/brelvo"
    echo "== Debian 13: scripts/test.sh --quick in a fresh clone"
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb LANG=C.UTF-8 \
        bash -c 'cd /root/brelvo && scripts/test.sh --quick'
}

if [ "$mode" = "--debian13" ]; then
    debian13
    exit 0
fi

if [ "$mode" = "--windows" ]; then
    windows
    exit 0
fi

brelvo_install_missing
require_real_adb
echo "== normal build"
# The benchmark driver is built too, so that it keeps compiling with warnings as errors.
run_suite build-test -DBRELVO_BENCH=ON
if [ "$mode" != "--quick" ]; then
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
    run_suite build-sanitize -DBRELVO_SANITIZE=ON
    echo "== fuzz targets, 30 seconds each"
    scripts/fuzz.sh 30
    echo "== release archive"
    scripts/package.sh --check
fi

echo "== workflow syntax"
python3 -c 'import sys, yaml; yaml.safe_load(open(sys.argv[1])); print("workflow: valid YAML")' \
    .github/workflows/build.yml
