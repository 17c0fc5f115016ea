#!/usr/bin/env bash
# The main job: builds the editor and the stand-in game, then plays a short session in
# which the player selects a townsperson, reshapes his jaw and exports it. Prints the screen
# as the editor draws it (before the selection, then in the middle of the edit, on a grid
# tall enough for the whole feature list), the keys the session pressed before and after
# each screen, the exported XML, and where the file is. A failed build shows its output.
#
# PFE_BUILD_DIR picks another build directory (default: the `default` preset's build/default);
# PFE_DEMO_DIR the directory the export lands in (default: demo-output/).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# quietly COMMAND...: runs a build step, showing its output only when it fails.
quietly() {
  local log
  if ! log=$("$@" 2>&1); then
    echo "$log" >&2
    echo "demo: the build failed ($*)" >&2
    exit 1
  fi
}

tools/setup.sh
build=${PFE_BUILD_DIR:-build/default}
echo "building pfe-sim and the editor in $build..."
if [ -z "${PFE_BUILD_DIR:-}" ]; then
  quietly cmake --preset default
else
  quietly cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
# pfe-sim and the module are all the demo needs.
quietly cmake --build "$build" --target pfe-sim -j2
sim=$(cd "$build" && pwd)/bin/pfe-sim
session=$root/examples/edit-townsperson.session

out=${PFE_DEMO_DIR:-$root/demo-output}
mkdir -p "$out"
cd "$out"
rm -f Moulary_A_M_M_VALTOWNFOLK_01.xml
echo "== $session, played by pfe-sim in $out =="
# 60 rows hold the status line and all 54 features. Before each screen (a top and a bottom
# border each) and before the run's report come the keys the session tapped since the screen
# before, as its tap lines name them.
"$sim" run --screen 118x60 "$session" | awk '
  FNR == NR {
    if ($1 == "print" && $2 == "screen") shown++
    else if ($1 == "tap") keys[shown] = keys[shown] (keys[shown] == "" ? "" : ", ") $2 ($3 > 1 ? " x" $3 : "")
    next
  }
  function say(n) { if (keys[n] != "") print "-- the session pressed: " keys[n] " --"; keys[n] = "" }
  /^\+-+\+$/ && borders++ % 2 == 0 { say(screens++) }
  /^(ok|FAIL) / { say(screens) }
  { print }
  END { say(screens) }' "$session" -
file=$out/Moulary_A_M_M_VALTOWNFOLK_01.xml
echo
echo "== the export: $file (lines end in CR LF, shown here without the CR) =="
tr -d '\r' <"$file"
echo
echo
echo "== $sim show $file =="
"$sim" show "$file"
