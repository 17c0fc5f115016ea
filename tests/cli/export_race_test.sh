#!/usr/bin/env bash
# Two pfe-sim processes export one model into one folder thousands of times each, while the
# test reads the export over and over: every read must be a whole export (one writer's or the
# other's, never empty, cut or mixed), and `pfe-sim show` must accept it; both writers must
# report success, and no temporary file may be left behind.
# Usage: export_race_test.sh PFE-SIM SOURCE-TREE
set -uo pipefail
. "$2/tests/cli/lib.sh"

# Each export is flushed to disk, which costs milliseconds on a disk and nothing in memory:
# the race runs in a memory file system when there is one, so that it reaches its thousands
# of replacements in seconds. The replacement is the same rename on either.
race=$work/race
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  race=$(mktemp -d /dev/shm/pfe-export-race-XXXXXX) || exit 1
  trap 'rm -rf "$race"; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
else
  mkdir "$race"
fi
cd "$race" || exit 1

# Writer one exports all 54 features raised to 0.3, writer two all lowered to -0.5: large files
# (about 5.5 kB, so that each write takes a while) of different lengths, so that a mix shows.
# Each writer plays its session again and again, 1000 exports a run, for about 8 seconds (at
# least 2 runs, at most 20), so that a slow sanitizer build stays within the test's time.
chunk=1000
every_feature() {
  for _ in $(seq 54); do printf 'tap %s\ntap DOWN\n' "$1"; done
}
{ printf 'frame\ntap F7\n'; every_feature "RIGHT 3"; } >one.session
{ printf 'frame\ntap F7\n'; every_feature "LEFT 5"; } >two.session

# The two files the writers make, each made alone and accepted by `pfe-sim show`.
for writer in one two; do
  mkdir "alone-$writer"
  cp "$writer.session" "alone-$writer/alone.session"
  (cd "alone-$writer" && printf 'tap F8\n' >>alone.session && "$sim" run alone.session >/dev/null &&
     "$sim" show Moulary_PLAYER_ZERO.xml >/dev/null) ||
    fail "writer $writer alone does not make an export that pfe-sim show accepts"
done
IFS= read -r -d '' one_bytes <alone-one/Moulary_PLAYER_ZERO.xml
IFS= read -r -d '' two_bytes <alone-two/Moulary_PLAYER_ZERO.xml
rm -r alone-one alone-two
for writer in one two; do
  printf 'tap F8 %s\nframe\nexpect drawn "Wrote Moulary_PLAYER_ZERO.xml"\n' "$chunk" \
    >>"$writer.session"
done

# write WRITER: plays the writer's session until its time is up; the exports made are in
# WRITER.count, a failing run's output in WRITER.out.
write() {
  local runs=0 begin=$SECONDS
  while [ "$runs" -lt 20 ] && { [ "$runs" -lt 2 ] || [ $((SECONDS - begin)) -lt 8 ]; }; do
    "$sim" run "$1.session" >"$1.out" 2>&1 || return 1
    runs=$((runs + 1))
    echo $((runs * chunk)) >"$1.count"
  done
}

start=$SECONDS
write one &
one=$!
write two &
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
# The line of a failed expect, or the end of the output.
failure_of() { grep -m1 -F ': expected' "$1" || tail -c 300 "$1"; }
wait "$one" || fail "writer one failed: $(failure_of one.out)"
wait "$two" || fail "writer two failed: $(failure_of two.out)"
echo "$reads reads of the export while two writers made $(cat one.count 2>/dev/null || echo 0)" \
     "and $(cat two.count 2>/dev/null || echo 0)" \
     "exports ($((SECONDS - start)) s); $bad not whole"

[ "$bad" -eq 0 ] || fail "$bad of $reads reads were not a whole export"
[ "$reads" -ge 1000 ] || fail "only $reads reads: the race proved little"
"$sim" show Moulary_PLAYER_ZERO.xml >show.out 2>&1 || fail "the last export is not whole"
left=$(find . -mindepth 1 -not -name '*.session' -not -name '*.out' -not -name '*.count' \
            -not -name Moulary_PLAYER_ZERO.xml)
[ -z "$left" ] || fail "left behind: $left"
finish
