#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/build.sh
export QT_QPA_PLATFORM=offscreen
# Undefined behaviour is only reported by default; a report should fail its test like any other.
if [ "${SANITIZE:-}" = "address" ]; then
    export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
fi
if [ "${SANITIZE:-}" = "thread" ]; then
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
fi
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --timeout 600
