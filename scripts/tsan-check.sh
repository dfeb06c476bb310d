#!/usr/bin/env bash
# Checks that the thread sanitizer, with the suppressions ./test.sh gives it, still reports a race between
# a std::thread and a Qt slot or event handler (tests/tsan). Builds into build-thread/ as
# SANITIZE=thread ./test.sh does, with the race added; fails when any way of it passes unseen.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-thread -DTESSIVOR_SANITIZE=thread -DTESSIVOR_TSAN_CHECK=ON >/dev/null
cmake --build build-thread -j "$(nproc)" --target thread_slot_race
cd build-thread
ctest --output-on-failure -R '^ThreadSlotRaceIsReported$'
