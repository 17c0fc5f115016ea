#!/usr/bin/env bash
# The stand-in ScriptHookRDR2.dll must export the eight host functions under the decorated
# names the module imports (as cmake/ScriptHookRDR2.def lists them), or the Windows loader
# refuses the module.
# Usage: check_standin_exports.sh OBJDUMP ScriptHookRDR2.dll ScriptHookRDR2.def
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
objdump=$1
dll=$2
exported=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+//p')
names=$(sed -n 's/^ *[A-Za-z0-9]* == //p' "$3")
[ "$(wc -l <<<"$names")" -eq 8 ] || fail "$3 does not list eight host functions"
while read -r name; do
    grep -qxF -- "$name" <<<"$exported" || fail "$dll does not export $name"
done <<<"$names"
finish "$dll exports the eight decorated host functions"
