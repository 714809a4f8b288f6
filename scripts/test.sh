#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test twice: in a normal
# build, then in an AddressSanitizer + UndefinedBehaviorSanitizer build (with LeakSanitizer).
# Then it runs each fuzz target for 30 seconds, builds the release archive and checks that it
# unpacks and starts, and checks the CI workflow's syntax.
#   scripts/test.sh               everything, as CI runs it
#   scripts/test.sh --quick       the normal build only, without the slow tests
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
brelvo_install_missing

quick=0
[ "${1:-}" = "--quick" ] && quick=1

run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRELVO_WERROR=ON "$@"
    cmake --build "$dir" --parallel "$(nproc)"
    local ctest_args=(--test-dir "$dir" --output-on-failure --parallel "$(nproc)")
    [ $quick -eq 1 ] && ctest_args+=(--label-exclude slow)
    ctest "${ctest_args[@]}"
}

echo "== normal build"
run_suite build-test
if [ $quick -eq 0 ]; then
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
