#!/usr/bin/env bash
# Plays one session script with the Linux pfe-sim and with pfe-sim.exe under Wine, each in a
# fresh folder, and holds the Wine run to the Linux one: both pass, they print the same
# screens, and they leave byte-identical files.
#
# Under Windows the module reads the system clock, so a script that depends on the stand-in's
# virtual clock (see virtual_clock_lines.sh) cannot run there; it is reported as skipped
# (exit status 77).
#
# Usage: run_session.sh LINUX_PFE_SIM PFE_SIM_EXE WINE64 WINEPREFIX WORK_FOLDER SCRIPT
set -uo pipefail
. "$(dirname "$0")/../lib.sh"
linux_sim=$1
windows_sim=$2
wine64=$3
use_wine "$4"
work=$5
script=$6

if clock_lines=$("$(dirname "$0")/virtual_clock_lines.sh" "$script"); then
    echo "skipped: $script depends on the virtual clock:"
    sed 's/^/    line /' <<<"$clock_lines"
    exit 77
fi

rm -rf "$work"
mkdir -p "$work/linux" "$work/wine"
(cd "$work/linux" && "$linux_sim" run "$script" >"$work/linux.out" 2>"$work/linux.err")
linux_status=$?
(cd "$work/wine" && "$wine64" "$windows_sim" run "$script" >"$work/wine.out" 2>"$work/wine.err" </dev/null)
wine_status=$?

if [ "$linux_status" -ne 0 ]; then
    fail "the Linux pfe-sim exits with $linux_status:"
    sed 's/^/    /' "$work/linux.err"
fi
if [ "$wine_status" -ne 0 ]; then
    fail "pfe-sim.exe under Wine exits with $wine_status:"
    sed 's/^/    /' "$work/wine.err"
fi
# Windows writes its console output with CR LF; the screens themselves must match.
if ! diff <(tr -d '\r' <"$work/linux.out") <(tr -d '\r' <"$work/wine.out") >"$work/out.diff"; then
    fail "pfe-sim.exe prints other screens than the Linux pfe-sim (< Linux, > Wine):"
    head -40 "$work/out.diff" | sed 's/^/    /'
fi
# Every file and folder either run left behind, compared byte for byte.
linux_files=$(cd "$work/linux" && find . -mindepth 1 | LC_ALL=C sort)
wine_files=$(cd "$work/wine" && find . -mindepth 1 | LC_ALL=C sort)
if [ "$linux_files" != "$wine_files" ]; then
    fail "the runs leave different files (< Linux, > Wine):"
    diff <(echo "$linux_files") <(echo "$wine_files") | sed 's/^/    /'
fi
exported=0
while IFS= read -r name; do
    [ -f "$work/linux/$name" ] && [ -f "$work/wine/$name" ] || continue
    exported=$((exported + 1))
    cmp "$work/linux/$name" "$work/wine/$name" >/dev/null || fail "$name differs: $(cmp "$work/linux/$name" "$work/wine/$name" 2>&1)"
done <<<"$linux_files"

[ "$failures" -eq 0 ] || echo "(both runs are kept in $work)"
finish "$(basename "$script"): Linux and Wine agree; $exported exported file(s) byte-identical"
