#!/usr/bin/env bash
# Installs what is missing, then configures and builds. Sourced by run.sh and test.sh.
# SANITIZE=address or SANITIZE=thread builds into build-<sanitizer>/ instead of build/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

PACKAGES="cmake g++ qt6-base-dev qt6-charts-dev libqt6charts6 libicu-dev libgtest-dev libgmock-dev libbenchmark-dev libgl-dev xvfb openbox x11-utils"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi

BUILD_DIR=build
CMAKE_ARGS=()
if [ -n "${SANITIZE:-}" ]; then
    BUILD_DIR="build-${SANITIZE}"
    CMAKE_ARGS+=("-DTESSIVOR_SANITIZE=${SANITIZE}")
fi
cmake -S . -B "$BUILD_DIR" "${CMAKE_ARGS[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
