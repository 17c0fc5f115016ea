#!/usr/bin/env bash
# Source checks that need no build: every C++ file in the repository's clang-format style,
# the include rules of the layout (README, "Layout"), and two rules of the module: it never
# touches signal handling (the host process owns its signals), and src/editor/ has no platform
# #ifdef (what differs between platforms lives in src/platform/). The include rules:
#   src/      the module: includes only its own folders (host/, editor/, data/, platform/);
#             src/platform/ (the operating-system services) includes only itself
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
check_includes src/ 'host/|editor/|data/|platform/'
check_includes src/platform/ 'platform/'
# Prints the lines of the files under FOLDER that match PATTERN, under the rule they break.
check_absent() {
  local folder=$1 pattern=$2 rule=$3 found
  found=$(git ls-files "$folder" | grep -E '\.(cpp|h)$' | xargs grep -HnE "$pattern" || true)
  if [ -n "$found" ]; then
    echo "check-source: $rule:" >&2
    echo "$found" >&2
    status=1
  fi
}
check_absent src/ '<csignal>|<signal\.h>|\bsig[a-z_]*\s*\(|\bsigaction\b|\braise\s*\(|\bSIG[A-Z_]+[0-9]?\b' \
  "the module handles no signals: the host process owns them"
check_absent src/editor/ '^\s*#\s*(if|ifdef|ifndef|elif)\b.*(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|_MSC_VER|__MINGW|_POSIX)' \
  "src/editor/ has no platform #ifdef: platform code lives in src/platform/"
check_includes standin/ 'standin/'
check_includes sim/ 'sim/|standin/|data/face_features\.h|pfe_version\.h'

# Exports belong to the tests that compare them: one left anywhere else is a stray from a run.
stray=$(git ls-files | grep -E '(^|/)Moulary_[^/]*\.xml$' | grep -v '^tests/' || true)
if [ -n "$stray" ]; then
  echo "check-source: exports committed outside tests/ (remove them):" >&2
  echo "$stray" >&2
  status=1
fi
[ $status -eq 0 ] && echo "check-source: ${#sources[@]} files formatted, include and module rules hold"
exit $status
