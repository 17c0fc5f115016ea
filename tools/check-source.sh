#!/usr/bin/env bash
# Source checks that need no build: every C++ file in the repository's clang-format style,
# and the include rules of the layout (README, "Layout"):
#   src/      the module: includes only its own folders (host/, editor/, data/)
#   standin/  the null host and game: includes only standin/
#   sim/      the tool: includes sim/, standin/, the module's feature table and the version
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh clang-format
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
[ ${#sources[@]} -gt 0 ] || { echo "check-source: no C++ files found" >&2; exit 1; }
clang-format --dry-run --Werror "${sources[@]}"

status=0
# Prints the quoted includes of the files under FOLDER that do not match ALLOWED.
check_includes() {
  local folder=$1 allowed=$2 found
  found=$(git ls-files "$folder" | grep -E '\.(cpp|h)$' | xargs grep -HnE '^#include "' |
          grep -vE "#include \"($allowed)" || true)
  if [ -n "$found" ]; then
    echo "check-source: $folder includes outside its rules:" >&2
    echo "$found" >&2
    status=1
  fi
}
check_includes src/ 'host/|editor/|data/'
check_includes standin/ 'standin/'
check_includes sim/ 'sim/|standin/|data/face_features\.h|pfe_version\.h'

# Exports belong to the tests that compare them: one left anywhere else is a stray from a run.
stray=$(git ls-files | grep -E '(^|/)Moulary_[^/]*\.xml$' | grep -v '^tests/' || true)
if [ -n "$stray" ]; then
  echo "check-source: exports committed outside tests/ (remove them):" >&2
  echo "$stray" >&2
  status=1
fi
[ $status -eq 0 ] && echo "check-source: ${#sources[@]} files formatted, include rules hold"
exit $status
