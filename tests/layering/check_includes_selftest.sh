#!/usr/bin/env bash
# check_includes.sh on made-up source trees: it passes a tree that includes
# only downwards, and fails, naming file, line and include, on each tree with
# one include that reaches up or out of the layers.
set -euo pipefail
checker=$(dirname "$0")/check_includes.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# A tree of one file per layer, each including the layer it builds on and a
# generated layout header.
make_tree() {
  local tree=$1
  mkdir -p "$tree"/{platform/{foundation,imageio,graphics},model,util,jobs,update,cli,ui,app}
  echo '#pragma once' >"$tree/platform/foundation/Log.h"
  printf '#include "platform/foundation/Log.h"\n' >"$tree/platform/imageio/ImageSource.h"
  printf '#include "platform/imageio/ImageSource.h"\n' >"$tree/platform/graphics/Bitmap.h"
  printf '#include "platform/graphics/Bitmap.h"\n' >"$tree/model/PelloraImage.h"
  printf '#include "platform/foundation/Log.h"\n' >"$tree/util/IndexSet.h"
  printf '#include "model/PelloraImage.h"\n#include "util/IndexSet.h"\n#include "platform/foundation/Log.h"\n' \
    >"$tree/jobs/SourceList.h"
  printf '#include "model/PelloraImage.h"\n' >"$tree/update/QVXUpdate.h"
  printf '#include "jobs/SourceList.h"\n' >"$tree/cli/main.cpp"
  printf '#include "jobs/SourceList.h"\n#include "update/QVXUpdate.h"\n#include "ui_Viewer.h"\n' \
    >"$tree/ui/ViewerController.cpp"
  printf '#include "ui/ViewerController.h"\n#  include  "model/PelloraImage.h"\n' >"$tree/app/main.cpp"
  echo 'add_subdirectory(cli)' >"$tree/CMakeLists.txt"
}

make_tree "$work/clean"
if ! "$checker" "$work/clean" 2>"$work/clean.err"; then
  echo "check_includes_selftest: a tree without backward includes failed:" >&2
  cat "$work/clean.err" >&2
  status=1
fi

# Each case: the file that gets one more include, the include, and what the
# failure must name.
cases=(
  'platform/foundation/Log.h|model/PelloraImage.h|platform/foundation/Log.h:2: includes "model/PelloraImage.h"'
  'platform/imageio/ImageSource.h|platform/graphics/Bitmap.h|platform/imageio/ImageSource.h:2: includes "platform/graphics/Bitmap.h"'
  'util/IndexSet.h|model/PelloraImage.h|util/IndexSet.h:2: includes "model/PelloraImage.h"'
  'model/PelloraImage.h|jobs/SourceList.h|model/PelloraImage.h:2: includes "jobs/SourceList.h"'
  'update/QVXUpdate.h|jobs/SourceList.h|update/QVXUpdate.h:2: includes "jobs/SourceList.h"'
  'jobs/SourceList.h|update/QVXUpdate.h|jobs/SourceList.h:4: includes "update/QVXUpdate.h"'
  'jobs/SourceList.h|ui/ViewerController.h|jobs/SourceList.h:4: includes "ui/ViewerController.h"'
  'cli/main.cpp|ui/ViewerController.h|cli/main.cpp:2: includes "ui/ViewerController.h"'
  'ui/ViewerController.cpp|app/MainController.h|ui/ViewerController.cpp:4: includes "app/MainController.h"'
  'model/PelloraImage.h|codecs/Jpeg.h|model/PelloraImage.h:2: includes "codecs/Jpeg.h", which is in no known layer'
)
for entry in "${cases[@]}"; do
  IFS='|' read -r file include expected <<<"$entry"
  tree=$work/case
  rm -rf "$tree"
  make_tree "$tree"
  printf '#include "%s"\n' "$include" >>"$tree/$file"
  if "$checker" "$tree" 2>"$work/case.err"; then
    echo "check_includes_selftest: passed although $file includes $include" >&2
    status=1
  elif ! grep -qF "$expected" "$work/case.err" || [ "$(wc -l <"$work/case.err")" -ne 1 ]; then
    echo "check_includes_selftest: $file including $include: expected exactly \"$expected\", got:" >&2
    cat "$work/case.err" >&2
    status=1
  fi
done

# A file in a folder the table does not know fails too.
rm -rf "$work/case"
make_tree "$work/case"
mkdir -p "$work/case/plugins" && echo '#pragma once' >"$work/case/plugins/Filter.h"
if "$checker" "$work/case" 2>"$work/case.err" || ! grep -qF 'plugins/Filter.h: in no known layer' "$work/case.err"; then
  echo "check_includes_selftest: a file outside the known layers was not reported:" >&2
  cat "$work/case.err" >&2
  status=1
fi
exit $status
