#!/usr/bin/env bash
# Runs each way of the race made on purpose (ThreadSlotRace.cpp) under the thread sanitizer with the
# suppressions file the tests run with, and fails unless every way is reported as a data race at the read.
# Usage: ExpectReport.sh <thread_slot_race binary> <suppressions file>
set -uo pipefail
Binary=$1
Suppressions=$2
export QT_QPA_PLATFORM=offscreen
Failed=0
for Way in timer queued event; do
    Log=$(mktemp)
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 exitcode=66 suppressions=$Suppressions" \
        "$Binary" "$Way" >/dev/null 2>"$Log"
    Status=$?
    if [ "$Status" -eq 66 ] && grep -q "WARNING: ThreadSanitizer: data race" "$Log" && grep -q "ReadShared" "$Log"; then
        echo "$Way: reported"
    else
        echo "$Way: NOT reported (exit status $Status)"
        cat "$Log"
        Failed=1
    fi
    rm -f "$Log"
done
exit $Failed
