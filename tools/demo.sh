#!/usr/bin/env bash
# The main job: builds the editor and the stand-in game, then plays a short session in
# which the player selects a townsperson, reshapes his jaw and exports it. Prints the screen
# as the editor draws it (before the selection, then in the middle of the edit), the
# exported XML, and where the file is.
#
# PFE_BUILD_DIR picks another build directory (default: the `default` preset's build/default);
# PFE_DEMO_DIR the directory the export lands in (default: demo-output/).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

tools/setup.sh
build=${PFE_BUILD_DIR:-}
if [ -z "$build" ]; then
  build=build/default
  cmake --preset default >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# pfe-sim and the module are all the demo needs.
cmake --build "$build" --target pfe-sim -j2 >/dev/null
sim=$(cd "$build" && pwd)/bin/pfe-sim

out=${PFE_DEMO_DIR:-$root/demo-output}
mkdir -p "$out"
cd "$out"
rm -f Moulary_A_M_M_VALTOWNFOLK_01.xml
echo "== $root/examples/edit-townsperson.session, played by pfe-sim in $out =="
"$sim" run "$root/examples/edit-townsperson.session"
file=$out/Moulary_A_M_M_VALTOWNFOLK_01.xml
echo
echo "== the export: $file (lines end in CR LF, shown here without the CR) =="
tr -d '\r' <"$file"
echo
echo
echo "== $sim show $file =="
"$sim" show "$file"
