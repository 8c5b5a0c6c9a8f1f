#!/usr/bin/env bash
# Includes point down the layers only. Each folder of src/ may include its
# own headers and those of the layers listed for it; anything else is an
# include pointing up (or sideways) and fails the check. No build needed.
set -euo pipefail
cd "$(dirname "$0")/../.."

declare -A allowed=(
  [support]=""
  [host]="support"
  [script]="host support"
  [serial]="host support"
  [tester]="script serial host support"
  [sim]="script serial host support"
  [ui]="tester script serial host support"
  [cli]="ui tester sim script serial host support"
  [gui]="ui tester sim script serial host support"
)

status=0
for layer in "${!allowed[@]}"; do
  [ -d "src/$layer" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -E 's/.*#include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$hit")
    [ "$target" = "$layer" ] && continue
    case " ${allowed[$layer]} " in *" $target "*) continue ;; esac
    echo "layers: $file includes from src/$target, which $layer may not use: ${hit#*:}" >&2
    status=1
  done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "src/$layer" || true)
done
for dir in src/*/; do
  name=$(basename "$dir")
  if [ -z "${allowed[$name]+set}" ]; then
    echo "layers: src/$name has no place in the layers; add it to tools/test.d/layers.sh" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
