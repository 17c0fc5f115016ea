#!/usr/bin/env bash
# Makes the release ZIP with CPack and checks what a player gets: exactly the module, as
# built, the install text and the licence, in one folder.
# Usage: check_release_zip.sh CPACK BUILD_FOLDER PACKAGE_NAME MODULE.asi LICENSE
set -euo pipefail
cpack=$1
build=$2
package=$3
module=$4
license=$5
cd "$build"
rm -f "$package.zip"
"$cpack" -G ZIP >cpack.log 2>&1 || { cat cpack.log >&2; echo "FAIL: cpack failed" >&2; exit 1; }
[ -f "$package.zip" ] || { echo "FAIL: cpack made no $package.zip" >&2; exit 1; }

cmake=$(dirname "$cpack")/cmake
listing=$("$cmake" -E tar tf "$package.zip" | grep -v '/$' | LC_ALL=C sort)
expected=$(printf '%s\n' "$package/INSTALL.txt" "$package/LICENSE" "$package/PedFeatureEditor.asi" |
    LC_ALL=C sort)
if [ "$listing" != "$expected" ]; then
    echo "FAIL: $package.zip holds other files than the module, the install text and the licence:" >&2
    diff <(echo "$expected") <(echo "$listing") | sed 's/^/    /' >&2
    exit 1
fi
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && "$cmake" -E tar xf "$build/$package.zip")
cmp "$unpacked/$package/PedFeatureEditor.asi" "$module" ||
    { echo "FAIL: the module in $package.zip is not the one built" >&2; exit 1; }
cmp "$unpacked/$package/LICENSE" "$license" ||
    { echo "FAIL: the licence in $package.zip is not the repository's LICENSE" >&2; exit 1; }
grep -q 'ScriptHookRDR2.dll' "$unpacked/$package/INSTALL.txt" ||
    { echo "FAIL: the install text does not say where the module goes" >&2; exit 1; }
echo "$package.zip: PedFeatureEditor.asi ($(wc -c <"$module") bytes), INSTALL.txt and LICENSE"
