#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it from a staged program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
brelvo_install_missing

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-run --parallel "$(nproc)" --target BrelvoPico
stage=stage
mkdir -p "$stage/tools"
cp build-run/BrelvoPico "$stage/"
exec "$stage/BrelvoPico"
