#!/usr/bin/env bash
# Sets everything up and runs every test (GUI tests start their own Xvfb display).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
cd "$here/build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
