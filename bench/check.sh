#!/usr/bin/env bash
# Runs pfe-bench and holds it to the frame-cost targets: ratio at most 1.3, editing-pass-ns
# under 20000, startup-us under 2000. The machine is shared, so a run disturbed by other work
# is taken again, after a pause: the check passes when one of up to five runs meets every target.
# Usage: bench/check.sh PATH-TO-pfe-bench
set -euo pipefail
bench="${1:?usage: bench/check.sh PATH-TO-pfe-bench}"

for attempt in 1 2 3 4 5; do
  figures="$("$bench")"
  echo "$figures"
  if echo "$figures" | awk '
      $1 == "editing-pass-ns" { editing = $2 }
      $1 == "ratio"           { ratio = $2 }
      $1 == "startup-us"      { startup = $2 }
      END { exit !(editing != "" && ratio != "" && startup != "" &&
                   editing < 20000 && ratio <= 1.3 && startup < 2000) }'; then
    echo "pfe-bench: within the targets"
    exit 0
  fi
  echo "pfe-bench: run $attempt missed a target (ratio <= 1.3, editing-pass-ns < 20000, startup-us < 2000)" >&2
  [ "$attempt" -lt 5 ] && sleep 5
done
exit 1
