#!/usr/bin/env bash
# Configures and builds everything into build/ (executables and modules in build/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
type="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build build -j"$(nproc)"
