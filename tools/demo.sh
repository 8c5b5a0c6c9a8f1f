#!/usr/bin/env bash
# Sets up, builds and runs ZUL's main job from the command line: a download
# of the demo flash application into a simulated tester, with its progress
# and the completion report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUL_WERROR=ON >/dev/null
# A settings file of its own, so the demo finds the demo applications beside
# the program whatever the user's settings say.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
build/release/zul-cli --settings "$scratch/zultw.ini" download --simulate --yes "Demo Flash Update" "$@"
