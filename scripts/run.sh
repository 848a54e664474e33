#!/usr/bin/env bash
# Sets everything up, makes the sample collection and starts Glimmerby on it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
bash "$here/scripts/make-samples.sh" "$here/samples"
exec "$here/build/glimmerby" "$here/samples/landscape.jpg"
