#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tessivor.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/build.sh
exec "$BUILD_DIR/tessivor" "$@"
