#!/usr/bin/env bash
# Configures and builds one configuration: tools/build.sh NAME [cmake options...]
# The build goes to build/NAME.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1; shift
launcher=()
# A compiler cache makes the second and later builds of a tree (and of
# several trees on one machine) much faster; it is optional.
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "build/$name" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "build/$name"
