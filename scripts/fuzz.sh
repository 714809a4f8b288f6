#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a number of seconds (60 unless
# given), starting from the seed corpora in fuzz/corpus/ and the real adb answers kept for the
# tests in tests/data/adb/. Fails on any finding: a crash, a sanitizer report, a leak or a
# broken property. Findings land in build-fuzz/findings/.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
source scripts/deps.sh
brelvo_install_missing

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRELVO_FUZZ=ON -DBRELVO_TESTS=OFF -DBRELVO_WERROR=ON
cmake --build build-fuzz --parallel "$(nproc)" --target fuzz_devicelisting fuzz_adbanswers fuzz_version \
    fuzz_manifest fuzz_storagepath fuzz_logline

mkdir -p build-fuzz/findings
python3 fuzz/captures-to-corpus.py tests/data/adb build-fuzz/captured
status=0
for target in devicelisting adbanswers version manifest storagepath logline; do
    work=build-fuzz/corpus/$target
    mkdir -p "$work"
    echo "== fuzz_$target for ${seconds}s"
    if ! build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix=build-fuzz/findings/$target- "$work" "fuzz/corpus/$target" \
            "build-fuzz/captured/$target" \
            2>build-fuzz/fuzz_$target.log; then
        tail -n 40 build-fuzz/fuzz_$target.log
        status=1
    fi
    grep -E '^stat::number_of_executed_units' build-fuzz/fuzz_$target.log \
        | sed "s/^/fuzz_$target: /" || true
done
exit $status
