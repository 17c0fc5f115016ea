#!/usr/bin/env bash
# Plays every session script that does not need the virtual clock in ONE pfe-sim.exe process
# under Wine. Each script expects a fresh module, so this holds the Windows loader to what
# the game relies on: FreeLibrary unloads the module and the next LoadLibrary starts it anew.
# Usage: run_in_one_process.sh PFE_SIM_EXE WINE64 WINEPREFIX SCRIPT...
set -uo pipefail
. "$(dirname "$0")/../lib.sh"
windows_sim=$1
wine64=$2
use_wine "$3"
shift 3
scripts=()
for script in "$@"; do
    "$(dirname "$0")/virtual_clock_lines.sh" "$script" >/dev/null || scripts+=("$script")
done
if [ ${#scripts[@]} -lt 2 ]; then
    echo "FAIL: fewer than two scripts run without the virtual clock; nothing to prove"
    exit 1
fi
"$wine64" "$windows_sim" run --temp-dir "${scripts[@]}" >/dev/null </dev/null
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: pfe-sim.exe exits with $status over ${#scripts[@]} scripts in one process"; exit 1; }
echo "${#scripts[@]} scripts pass one after another in one pfe-sim.exe process"
