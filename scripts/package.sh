#!/usr/bin/env bash
# Builds the release program folder and its archive with CPack (a .tar.gz here, a ZIP on
# Windows) in build-package/.
#   scripts/package.sh            build the archive
#   scripts/package.sh --check    build it, unpack it and check that the program in it starts
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
brelvo_install_missing

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELVO_TESTS=OFF
cmake --build build-package --parallel "$(nproc)" --target BrelvoPico
(cd build-package && cpack)
archive=$(ls build-package/BrelvoPico-*.tar.gz)
echo "package: $archive"
if [ "${1:-}" = "--check" ]; then
    scripts/check-archive.sh "$archive"
fi
