#!/usr/bin/env bash
# The stand-in ScriptHookRDR2.dll must export the eight host functions under the decorated
# names the module imports, or the Windows loader refuses the module.
# Usage: check_standin_exports.sh OBJDUMP ScriptHookRDR2.dll
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
objdump=$1
dll=$2
exported=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+//p')
for name in \
    '?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z' \
    '?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z' \
    '?scriptWait@@YAXK@Z' \
    '?keyboardHandlerRegister@@YAXP6AXKGEHHHH@Z@Z' \
    '?keyboardHandlerUnregister@@YAXP6AXKGEHHHH@Z@Z' \
    '?nativeInit@@YAX_K@Z' \
    '?nativePush64@@YAX_K@Z' \
    '?nativeCall@@YAPEA_KXZ'; do
    grep -qxF -- "$name" <<<"$exported" || fail "$dll does not export $name"
done
finish "$dll exports the eight decorated host functions"
