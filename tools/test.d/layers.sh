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
# The two window programs stand side by side: neither includes the other.
for program in src/gui/*/; do
  name=$(basename "$program")
  while IFS= read -r hit; do
    echo "layers: ${hit%%:*} includes from another window program: ${hit#*:}" >&2
    status=1
  done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"gui/' "$program" | grep -vE "\"gui/$name/" || true)
done
for dir in src/*/; do
  name=$(basename "$dir")
  if [ -z "${allowed[$name]+set}" ]; then
    echo "layers: src/$name has no place in the layers; add it to tools/test.d/layers.sh" >&2
    status=1
  fi
done
# The tests of a layer keep to the same table, counting the test helpers they
# include (tests/testlib, which may use every layer but gui) as their own
# includes. Only there do tester and sim, side by side in src, meet: a test of
# the conversation between them needs both.
declare -A testExtra=([tester]="sim" [sim]="tester")
# The src layers a file names, with those of the test helpers it pulls in.
includes_of() {
  local file=$1 seen=$2 line target helper
  while IFS= read -r line; do
    target=$(sed -E 's/.*#include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$line")
    if [ "$target" = testlib ]; then
      helper=tests/$(sed -E 's/.*#include[[:space:]]*"([^"]+)".*/\1/' <<<"$line")
      case " $seen " in *" $helper "*) continue ;; esac
      seen="$seen $helper"
      [ -f "$helper" ] && includes_of "$helper" "$seen" | sed "s|^|$helper -> |"
    else
      echo "$target: $line"
    fi
  done < <(grep -hE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$file" || true)
}
for layer in "${!allowed[@]}" testlib; do
  [ -d "tests/$layer" ] || continue
  if [ "$layer" = testlib ]; then
    permitted="support host script serial tester sim ui cli"
  else
    permitted="$layer ${allowed[$layer]} ${testExtra[$layer]:-}"
  fi
  while IFS= read -r file; do
    while IFS= read -r hit; do
      # "helper -> ... target: #include ..." for what a helper pulls in.
      target=$(sed -E 's/^([^:]* -> )*([^: ]+): .*/\2/' <<<"$hit")
      case " $permitted " in *" $target "*) continue ;; esac
      through=$(sed -nE 's/^(([^:]* -> )+)[^:]*: .*/ (through \1)/p' <<<"$hit" | sed -E 's/ -> \)$/)/')
      echo "layers: $file$through includes from src/$target, which tests of $layer may not use: ${hit#*: }" >&2
      status=1
    done < <(includes_of "$file" "")
  done < <(find "tests/$layer" -type f \( -name '*.h' -o -name '*.cpp' \))
done
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
