#!/usr/bin/env bash
# Two pfe-sim processes export one model into one folder thousands of times each, while the
# test reads the export over and over: every read must be a whole export (one writer's or the
# other's, never empty, cut or mixed), and `pfe-sim show` must accept it; both writers must
# report success, and no temporary file may be left behind.
# Usage: export_race_test.sh PFE-SIM SOURCE-TREE
set -uo pipefail
sim=$1
src=$2
. "$src/tests/cli/lib.sh"

# Each export is flushed to disk, which costs milliseconds on a disk and nothing in memory:
# the race runs in a memory file system when there is one, so that it reaches its thousands
# of replacements in seconds. The replacement is the same rename on either.
exports=${PFE_RACE_EXPORTS:-20000}
race=$work/race
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  race=$(mktemp -d /dev/shm/pfe-export-race-XXXXXX) || exit 1
  trap 'rm -rf "$race"; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
else
  mkdir "$race"
  exports=$((exports / 10))
fi
cd "$race" || exit 1

# Writer one exports all 54 features raised to 0.3, writer two all lowered to -0.5: large files
# (about 5.5 kB, so that each write takes a while) of different lengths, so that a mix shows.
every_feature() {
  for _ in $(seq 54); do printf 'tap %s\ntap DOWN\n' "$1"; done
}
{ printf 'frame\ntap F7\n'; every_feature "RIGHT 3"; } >one.session
{ printf 'frame\ntap F7\n'; every_feature "LEFT 5"; } >two.session
for writer in one two; do
  printf 'tap F8 %s\nframe\nexpect drawn "Wrote Moulary_PLAYER_ZERO.xml"\n' "$exports" \
    >>"$writer.session"
done

# The two files the writers make, each made once alone and accepted by `pfe-sim show`.
for writer in one two; do
  mkdir "alone-$writer"
  (cd "alone-$writer" && sed "s/^tap F8 .*/tap F8/" "../$writer.session" >alone.session &&
     "$sim" run alone.session >/dev/null 2>&1 && "$sim" show Moulary_PLAYER_ZERO.xml >/dev/null) ||
    fail "writer $writer alone does not make an export that pfe-sim show accepts"
done
IFS= read -r -d '' one_bytes <alone-one/Moulary_PLAYER_ZERO.xml
IFS= read -r -d '' two_bytes <alone-two/Moulary_PLAYER_ZERO.xml
rm -r alone-one alone-two

start=$SECONDS
"$sim" run one.session >one.out 2>&1 &
one=$!
"$sim" run two.session >two.out 2>&1 &
two=$!

# Most reads are the shell's own (no process started, so there are thousands); every 100th
# is also read by `pfe-sim show`.
reads=0
bad=0
while kill -0 "$one" 2>/dev/null || kill -0 "$two" 2>/dev/null; do
  [ -e Moulary_PLAYER_ZERO.xml ] || continue
  reads=$((reads + 1))
  seen=
  IFS= read -r -d '' seen <Moulary_PLAYER_ZERO.xml
  if [ "$seen" != "$one_bytes" ] && [ "$seen" != "$two_bytes" ]; then
    bad=$((bad + 1))
    [ "$bad" -le 3 ] && fail "read $reads is not a whole export: $(printf '%q' "$seen")"
  elif [ $((reads % 100)) -eq 0 ] && ! "$sim" show Moulary_PLAYER_ZERO.xml >show.out 2>&1; then
    bad=$((bad + 1))
    [ "$bad" -le 3 ] && fail "pfe-sim show refuses read $reads: $(head -c 200 show.out)"
  fi
done
wait "$one" || fail "writer one failed: $(tail -c 300 one.out)"
wait "$two" || fail "writer two failed: $(tail -c 300 two.out)"
echo "$reads reads of the export while two writers made $exports exports each" \
     "($((SECONDS - start)) s); $bad not whole"

[ "$bad" -eq 0 ] || fail "$bad of $reads reads were not a whole export"
[ "$reads" -ge 1000 ] || fail "only $reads reads: the race proved little"
"$sim" show Moulary_PLAYER_ZERO.xml >show.out 2>&1 || fail "the last export is not whole"
left=$(find . -mindepth 1 -not -name '*.session' -not -name '*.out' \
            -not -name Moulary_PLAYER_ZERO.xml)
[ -z "$left" ] || fail "left behind: $left"
finish
