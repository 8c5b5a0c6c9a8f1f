#!/usr/bin/env bash
# Cross-builds the core library and zul-cli for Windows, so that the Windows
# back ends keep compiling (warnings are errors there too).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build/mingw -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DZUL_WERROR=ON -DZUL_BUILD_TESTS=OFF -DZUL_BUILD_BENCH=ON >/dev/null
ninja -C build/mingw -j"$(nproc)" zul-cli zul_win32_checks zul_download_bench
file build/mingw/zul-cli.exe 2>/dev/null || ls -l build/mingw/zul-cli.exe
