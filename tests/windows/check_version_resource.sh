#!/usr/bin/env bash
# Reads the version resource of the Windows module back with windres and checks what Explorer
# shows under Properties > Details: the file and product version are the project's, in the
# numeric fields and in the strings, the product name and description are there, the original
# file name is the module's, and the strings are in the language the translation table names
# (Explorer looks for them there and shows nothing otherwise).
# Usage: check_version_resource.sh WINDRES MODULE.asi VERSION
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
windres=$1
module=$2
version=$3

[[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] ||
    { echo "FAIL: the project version '$version' is not MAJOR.MINOR.PATCH" >&2; exit 1; }
numeric="${BASH_REMATCH[1]}, ${BASH_REMATCH[2]}, ${BASH_REMATCH[3]}, 0"

rc=$("$windres" --input-format=coff --output-format=rc -i "$module" 2>&1) ||
    { echo "FAIL: no version resource: windres cannot read the resources of $module: $rc" >&2; exit 1; }
count=$(grep -c '^[0-9A-Za-z_]* VERSIONINFO$' <<<"$rc" || true)
[ "$count" -eq 1 ] || { echo "FAIL: no version resource: $module holds $count, not one" >&2; exit 1; }

field() { sed -n "s/^ *$1 //p" <<<"$rc"; }
value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\$/\1/p" <<<"$rc"; }

[ "$(field FILEVERSION)" = "$numeric" ] || fail "FILEVERSION is '$(field FILEVERSION)', not '$numeric'"
[ "$(field PRODUCTVERSION)" = "$numeric" ] ||
    fail "PRODUCTVERSION is '$(field PRODUCTVERSION)', not '$numeric'"
[ "$(field FILETYPE)" = 0x2 ] || fail "FILETYPE is '$(field FILETYPE)', not 0x2 (a DLL)"
[ "$(value FileVersion)" = "$version" ] || fail "FileVersion is '$(value FileVersion)', not '$version'"
[ "$(value ProductVersion)" = "$version" ] ||
    fail "ProductVersion is '$(value ProductVersion)', not '$version'"
[ "$(value OriginalFilename)" = "$(basename "$module")" ] ||
    fail "OriginalFilename is '$(value OriginalFilename)', not '$(basename "$module")'"
for name in ProductName FileDescription LegalCopyright; do
    [ -n "$(value "$name")" ] || fail "$name is missing or empty"
done

# The string block is named by language and code page in hexadecimal ("040904B0"); the
# translation table lists the same pair as numbers ("0x409, 1200").
block=$(sed -n '/BLOCK "StringFileInfo"/,/^  END/s/^ *BLOCK "\([0-9A-Fa-f]\{8\}\)"$/\1/p' <<<"$rc")
translation=$(sed -n 's/^ *VALUE "Translation", \(.*\)$/\1/p' <<<"$rc")
if [ -z "$block" ] || [ -z "$translation" ]; then
    fail "the strings or the translation table are missing"
else
    read -r language codepage <<<"${translation//,/ }"
    [ "$(printf '%04X%04X' "$((language))" "$((codepage))")" = "${block^^}" ] ||
        fail "the strings are in block $block, but the translation table names $translation"
fi

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$module"): $(value ProductName) $(value ProductVersion) ($(value FileDescription))"
