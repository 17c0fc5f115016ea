#!/usr/bin/env bash
# F8 while another program holds the export open, under Wine (one Wine server for both, so
# that the sharing modes hold between them):
#   - a holder that lets others read and write: the file cannot be replaced by name, so the
#     export writes it in place; "Wrote", the new bytes, no temporary file left;
#   - a holder that lets others only read: "Cannot open", and the file keeps its bytes.
# Usage: held_open_export.sh WINE64 WINEPREFIX HOLD_OPEN_EXE PFE_SIM_EXE WORK_FOLDER
set -uo pipefail
. "$(dirname "$0")/../lib.sh"
wine64=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
hold_open=$3
windows_sim=$4
work=$5

# export_while_held SHARE EXPECTED-STATUS EXPECTED-SIZE
export_while_held() {
    local share=$1 status=$2 size=$3 folder=$work/$1
    rm -rf "$folder"
    mkdir -p "$folder"
    cd "$folder" || return
    printf 'an earlier export' >Moulary_PLAYER_ZERO.xml
    printf 'frame\ntap F7\ntap F8\nframe\nexpect drawn "%s"\nexpect file Moulary_PLAYER_ZERO.xml %s\n' \
        "$status" "$size" >held.session
    mkfifo hold.in
    "$wine64" "$hold_open" Moulary_PLAYER_ZERO.xml "$share" <hold.in >hold.out 2>&1 &
    local holder=$!
    exec 3>hold.in
    for _ in $(seq 300); do
        grep -q held hold.out 2>/dev/null && break
        kill -0 "$holder" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q held hold.out; then
        fail "$share: the file could not be held open: $(cat hold.out)"
    elif ! "$wine64" "$windows_sim" run held.session >run.out 2>&1 </dev/null; then
        fail "$share: $(tr -d '\r' <run.out | tail -5)"
    fi
    exec 3>&-
    wait "$holder" || fail "$share: the holder failed: $(cat hold.out)"
    local left
    left=$(find . -mindepth 1 -not -name held.session -not -name 'hold.*' -not -name run.out \
                -not -name Moulary_PLAYER_ZERO.xml)
    [ -z "$left" ] || fail "$share: left behind: $left"
    echo "$share: $status, $(stat -c %s Moulary_PLAYER_ZERO.xml) bytes"
}

export_while_held read-write "Wrote Moulary_PLAYER_ZERO.xml" 41
export_while_held read "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!" 17
[ "$failures" -eq 0 ] || { echo "(the runs are kept in $work)"; exit 1; }
