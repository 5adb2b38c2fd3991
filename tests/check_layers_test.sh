#!/usr/bin/env bash
# scripts/check-layers must pass a clean tree and name the file and line of each include that
# goes up, sideways or into Qt below the window.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/scripts/check-layers"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{model,grid,device,display,net,control,ui,cli}
printf '#pragma once\n' >"$tree/model/panel.h"
printf '#include "model/panel.h"\n' >"$tree/grid/ok.h"
printf '#include "model/panel.h"\n#include "device/ok.h"\n' >"$tree/display/ok.cpp"
printf '#include <QWidget>\n#include "control/ok.h"\n' >"$tree/ui/ok.cpp"
printf '#include "model/panel.h"\n' >"$tree/net/ok.cpp"
printf '#include "net/ok.h"\n' >"$tree/cli/net.cpp"
"$script" "$tree" >/dev/null || { echo "a clean tree was refused"; exit 1; }

status=0
expect_refused() {  # file, content, what the message must name
  local file=$1 content=$2 expected=$3 out
  printf '%b' "$content" >"$tree/$file"
  if out=$("$script" "$tree"); then
    echo "not refused: $file"; status=1
  elif ! grep -qF "$expected" <<<"$out"; then
    echo "message for $file lacks '$expected': $out"; status=1
  fi
  rm "$tree/$file"
}
expect_refused model/up.h '#pragma once\n#include "control/controller.h"\n' 'model/up.h:2: model/ may not include control/'
expect_refused grid/side.cpp '#include "device/hid_link.h"\n' 'grid/side.cpp:1: grid/ may not include device/'
expect_refused control/window.cpp '#include "ui/dialog.h"\n' 'control/window.cpp:1: control/ may not include ui/'
expect_refused cli/qt.cpp '\n\n#include <QString>\n' 'cli/qt.cpp:3: cli/ builds without Qt'
expect_refused cli/app.cpp '#include "app/main.h"\n' 'cli/app.cpp:1: cli/ may not include app/'
expect_refused net/device.cpp '#include "device/hid_link.h"\n' 'net/device.cpp:1: net/ may not include device/'
expect_refused net/qt.cpp '#include <QUdpSocket>\n' 'net/qt.cpp:1: net/ builds without Qt'
expect_refused model/net.h '#include "net/receiver.h"\n' 'model/net.h:1: model/ may not include net/'
exit $status
