#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the suite's CMAKE_CROSSCOMPILING_EMULATOR.
#   wine-run.sh <program.exe> [arguments...]
# Wine keeps the host's QT_* variables from Windows programs and hands on WINEQT_* ones as QT_*,
# so each QT_* variable (QT_QPA_PLATFORM from the test settings) is handed on that way. A Qt
# Test program's report does not reach a pipe through Wine, so it is written to a file and shown.
set -u
program=$1
shift
while IFS='=' read -r name value; do
    [[ $name == QT_* ]] && export "WINE$name=$value"
done < <(env)
case "$(basename "$program")" in
    tst_*)
        # Wine starts helper processes (its desktop, console host) on demand, and they outlive the
        # test: given the test's own output streams they would keep CTest waiting for ever.
        report=$(mktemp)
        messages=$(mktemp)
        wine "$program" -o "$(winepath -w "$report" 2>/dev/null)",txt "$@" \
            </dev/null >"$messages" 2>&1
        status=$?
        cat "$report" "$messages"
        rm -f "$report" "$messages"
        exit $status
        ;;
    *)
        exec wine "$program" "$@"
        ;;
esac
