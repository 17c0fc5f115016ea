#!/usr/bin/env bash
# The Windows part of the test suite: cross-builds PedFeatureEditor.asi, the stand-in
# ScriptHookRDR2.dll and pfe-sim.exe with MinGW-w64 (preset mingw, build/mingw), checks the
# module's import and export tables and the release ZIP, and plays the session scripts with
# pfe-sim.exe under Wine against the Linux pfe-sim.
#
# Usage: tools/test-windows.sh [LINUX_BUILD_FOLDER]
#   LINUX_BUILD_FOLDER holds the Linux pfe-sim the Wine runs are compared with
#   (default build/default, configured with the default preset when needed).
#
# The cross toolchain and Wine are installed when missing; when they cannot be had, this
# fails and says what to install. It never passes without having run the Wine checks.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${1:-build/default}
packages=(g++-mingw-w64-x86-64-posix wine64)
wine64=/usr/lib/wine/wine64

missing() {
    echo "test-windows: FAIL: $1" >&2
    echo "test-windows: install the cross toolchain and Wine with: apt-get install ${packages[*]}" >&2
    exit 1
}

echo "== mingw =="
tools/setup.sh "${packages[@]}" || missing "cannot install ${packages[*]}"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing "x86_64-w64-mingw32-g++-posix is not on PATH"
command -v x86_64-w64-mingw32-dlltool >/dev/null || missing "x86_64-w64-mingw32-dlltool is not on PATH"
[ -x "$wine64" ] || wine64=$(command -v wine64) || missing "wine64 is not installed"

# The Linux pfe-sim and module, for the runs the Wine runs must match.
if [ "$linux_build" = build/default ]; then
    cmake --preset default >/dev/null
else
    cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
fi
cmake --build "$linux_build" --target pfe-sim -j2
linux_sim=$(cd "$linux_build" && pwd)/bin/pfe-sim
[ -x "$linux_sim" ] || { echo "test-windows: FAIL: no Linux pfe-sim at $linux_sim" >&2; exit 1; }

cmake --preset mingw -DPFE_LINUX_SIM="$linux_sim" >/dev/null
cmake --build --preset mingw -j2
ctest --preset mingw -j2
