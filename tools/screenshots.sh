#!/usr/bin/env bash
# Renders every window of the window program to docs/screenshots/*.png (on
# Qt's offscreen platform, so no display is needed). Look at every picture
# after a change to a window: cut-off text and overlaps show there first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/release -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUL_WERROR=ON \
  -DZUL_BUILD_GUI=ON >/dev/null
cmake --build build/release --target zul_render_windows
QT_QPA_PLATFORM=offscreen build/release/zul_render_windows docs/screenshots
