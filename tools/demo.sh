#!/usr/bin/env bash
# Sets up, builds and runs ZUL's main job from the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUL_WERROR=ON >/dev/null
exec build/release/zul-cli settings "$@"
