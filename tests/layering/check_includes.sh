#!/usr/bin/env bash
# Fails when a file under SRC_DIR includes a header of a layer that its own
# layer does not build on, naming the file, its line and the include.
# Usage: check_includes.sh SRC_DIR
#
# Every header is included from the src/ root ("model/PelloraImage.h"), so the
# folder an include starts with is the layer it reaches. An include without a
# folder (a layout header generated from resources/*.ui) is not a layer's.
set -euo pipefail
src=${1:?usage: check_includes.sh SRC_DIR}

# The layers each layer builds on directly, as src/CMakeLists.txt links them;
# a layer may also include whatever those build on.
declare -A builds_on=(
  [platform/foundation]=""
  [platform/imageio]="platform/foundation"
  [platform/graphics]="platform/imageio"
  [model]="platform/graphics"
  [util]="platform/foundation"
  [jobs]="model util"
  [update]="model platform/foundation"
  [cli]="jobs update"
  [ui]="jobs update"
  [app]="ui"
)

# Sets `layer` to the layer of a path relative to the src/ root, empty when none.
layer_of() {
  layer=""
  local first=${1%%/*} rest=${1#*/}
  [ "$first" = platform ] && first=platform/${rest%%/*}
  [[ $1 == "$first"/* && -n ${builds_on[$first]+known} ]] && layer=$first
  return 0
}

# The layer itself and every layer below it.
declare -A reachable=()
collect_reachable() {
  local above=$1 below
  for below in ${builds_on[$above]}; do
    [ -n "${reachable[$below]+yes}" ] && continue
    reachable[$below]=1
    collect_reachable "$below"
  done
}

status=0
while IFS= read -r -d '' file; do
  relative=${file#"$src"/}
  [ "${relative%%/*}" = "$relative" ] && continue  # files at the root (CMakeLists.txt)
  layer_of "$relative"
  own=$layer
  if [ -z "$own" ]; then
    echo "check_includes: $relative: in no known layer (add its folder to the table in $0)" >&2
    status=1
    continue
  fi
  reachable=([$own]=1)
  collect_reachable "$own"
  line_number=0
  while IFS= read -r line; do
    line_number=$((line_number + 1))
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
    included=${BASH_REMATCH[1]}
    [[ $included == */* ]] || continue
    layer_of "$included"
    if [ -z "$layer" ]; then
      echo "check_includes: $relative:$line_number: includes \"$included\", which is in no known layer" >&2
      status=1
    elif [ -z "${reachable[$layer]+yes}" ]; then
      echo "check_includes: $relative:$line_number: includes \"$included\": $own does not build on $layer" >&2
      status=1
    fi
  done <"$file"
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
exit $status
