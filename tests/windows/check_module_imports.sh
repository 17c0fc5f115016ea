#!/usr/bin/env bash
# Reads the import and export tables of the Windows module with objdump and checks that the
# game folder can run it: the eight host functions come from ScriptHookRDR2.dll under their
# decorated names (as cmake/ScriptHookRDR2.def lists them), everything else from system DLLs
# only, and nothing is exported.
# Usage: check_module_imports.sh OBJDUMP MODULE.asi ScriptHookRDR2.def
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
objdump=$1
module=$2

dump=$("$objdump" -p "$module") || { echo "FAIL: $objdump cannot read $module" >&2; exit 1; }
grep -q 'file format pei-x86-64' <<<"$dump" || fail "$module is not a 64-bit Windows image"
sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -q '^[[:space:]]*DLL$' || fail "$module is not marked as a DLL"
grep -Eq '^AddressOfEntryPoint[[:space:]]+0+$' <<<"$dump" && fail "$module has no entry point"

# "DLL-name<TAB>function" for every import, from the blocks objdump prints per DLL.
imports=$(awk '
    /^[[:space:]]*DLL Name:/ { dll = $3; next }
    /^The Export Tables|^PE File Base Relocations|^There is an export table/ { dll = "" }
    dll != "" && /^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[^[:space:]]+$/ { print dll "\t" $3 }
' <<<"$dump")
[ -n "$imports" ] || fail "no imports found in the objdump output"

expected_host=$(sed -n 's/^ *[A-Za-z0-9]* == //p' "$3" | LC_ALL=C sort)
actual_host=$(awk -F'\t' 'tolower($1) == "scripthookrdr2.dll" { print $2 }' <<<"$imports" | LC_ALL=C sort)
if [ "$actual_host" != "$expected_host" ]; then
    fail "the imports from ScriptHookRDR2.dll are not exactly the eight host functions:"
    diff <(echo "$expected_host") <(echo "$actual_host") | sed 's/^/    /' >&2 || true
fi

while IFS=$'\t' read -r dll name; do
    lower=${dll,,}
    case "$lower" in
    scripthookrdr2.dll) ;;
    libstdc++*|libgcc*|libwinpthread*) fail "$name is imported from the MinGW runtime $dll" ;;
    kernel32.dll|msvcrt.dll|api-ms-win-*) ;;
    *) fail "$name is imported from $dll, which is not a system DLL" ;;
    esac
done <<<"$imports"

# An export table may be present, but it must list nothing: no name and no bare ordinal.
exported=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^[[:space:]]*\[' || true)
address_entries=$(awk '/^[[:space:]]*Export Address Table[[:space:]]+[0-9a-fA-F]+$/ { print $NF; exit }' <<<"$dump")
if [ -n "$exported" ] || [ -n "$address_entries" ] && [ "$((16#${address_entries:-0}))" -ne 0 ]; then
    fail "the module exports what the host does not need:"$'\n'"${exported:-    ($address_entries unnamed entries)}"
fi

echo "$(awk -F'\t' '{ print $1 }' <<<"$imports" | sort -u | tr '\n' ' ')— $(wc -l <<<"$imports") imports"
[ "$failures" -eq 0 ]
