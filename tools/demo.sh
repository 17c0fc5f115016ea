#!/usr/bin/env bash
# The main job: builds the editor and the stand-in game, then plays a short session in
# which the player selects a townsperson, edits, and exports; prints the screen and the XML.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

out=${PFE_DEMO_DIR:-$PWD/demo-output}
mkdir -p "$out"
cd "$out"
../build/default/bin/pfe-sim run ../examples/edit-townsperson.session
echo
for file in Moulary_*.xml; do
  echo "== $out/$file =="
  tr -d '\r' < "$file"
  echo
done
