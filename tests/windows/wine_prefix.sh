#!/usr/bin/env bash
# Makes the Wine prefix the session runs share (once; the first wineboot takes a while) and
# says how long it took. A prefix is marked ready only once Wine has saved it completely, so
# an interrupted boot is redone rather than trusted.
# Usage: wine_prefix.sh WINE64 PREFIX
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
wine64=$1
use_wine "$2"
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
ready=$WINEPREFIX/.pfe-ready

if [ -f "$ready" ]; then
    echo "wine prefix $WINEPREFIX is ready"
    exit 0
fi
rm -rf "$WINEPREFIX"
start=$(date +%s%N)
# The server Wine starts here must not hold this test's output open: everything goes to a log.
if ! "$wine64" wineboot --init >"$WINEPREFIX.log" 2>&1 </dev/null ||
    ! "$wineserver" --wait >>"$WINEPREFIX.log" 2>&1 </dev/null; then
    echo "FAIL: wineboot could not make the prefix $WINEPREFIX:" >&2
    cat "$WINEPREFIX.log" >&2
    exit 1
fi
# The registry is written when the server ends, which --wait waited for.
[ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: wineboot left no registry in $WINEPREFIX" >&2; exit 1; }
touch "$ready"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
printf 'wine prefix %s made in %d.%d s\n' "$WINEPREFIX" $((elapsed_ms / 1000)) $((elapsed_ms % 1000 / 100))
