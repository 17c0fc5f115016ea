#!/usr/bin/env bash
# run --temp-dir: the script's folder goes, with the exports and folders in it, when a signal
# ends the run; the signal still ends it, with status 128 + N. Its errors name the folder.
. "$2/tests/cli/lib.sh"
mkdir tmp
export TMPDIR=$work/tmp

# An export, a folder of the script's own, then frames enough to outlast the test.
cat >long.session <<'SESSION'
block Moulary_A_M_M_VALTOWNFOLK_01.xml
frame
tap F7
tap F8
frame
expect drawn "Wrote Moulary_PLAYER_ZERO.xml"
frame 100000000
SESSION

# start_run SIGNALS: runs long.session in the background (pid in $run) with SIGNALS at their
# defaults (a background job of a script would ignore SIGINT), and waits until its folder (in
# $folder) holds the export; adds a nested folder of its own to it.
start_run() {
  env --default-signal="$1" "$sim" run --temp-dir long.session >/dev/null 2>run-err.txt &
  run=$!
  folder=
  for _ in $(seq 200); do
    folder=$(find tmp -mindepth 1 -maxdepth 1 -name 'pfe-sim-*' | head -n 1)
    [ -n "$folder" ] && [ -f "$folder/Moulary_PLAYER_ZERO.xml" ] && break
    sleep 0.05
  done
  [ -n "$folder" ] || fail "no temporary folder appeared in $TMPDIR"
  mkdir -p "$folder/nested/deeper" && echo x >"$folder/nested/deeper/file"
}

# end_run SIGNAL: sends SIGNAL and waits (at most 30 s) for the run to end; sets $status.
end_run() {
  kill -s "$1" "$run"
  timeout 30 tail --pid="$run" -s 0.1 -f /dev/null
  kill -s KILL "$run" 2>/dev/null
  status=0
  wait "$run" 2>/dev/null || status=$?
}

for signal in INT TERM HUP USR1 ALRM PIPE; do
  start_run INT,TERM,HUP,USR1,ALRM,PIPE
  end_run "$signal"
  expected=$((128 + $(kill -l "$signal")))
  [ "$status" -eq "$expected" ] || fail "SIG$signal: exit status $status, expected $expected"
  [ -z "$(ls -A tmp)" ] || fail "SIG$signal: left in TMPDIR: $(find tmp -mindepth 1 | head -5)"
  rm -rf tmp/*
done

# A signal the caller ignores (nohup) stays ignored; another still removes the folder.
trap '' HUP
start_run INT,TERM
trap - HUP
kill -s HUP "$run"
sleep 0.5
kill -0 "$run" 2>/dev/null || fail "an ignored SIGHUP ended the run"
end_run TERM
[ "$status" -eq 143 ] || fail "SIGTERM after an ignored SIGHUP: exit status $status, expected 143"
[ -z "$(ls -A tmp)" ] || fail "SIGTERM after an ignored SIGHUP: left in TMPDIR: $(ls -A tmp)"

# No folder to make one in: the error names it and where it came from. An empty TMPDIR is
# unset, as mktemp and the C library have it.
TMPDIR=$work/missing expect_error 2 "cannot make a temporary directory in $work/missing (from TMPDIR): No such file or directory" \
  "$sim" run --temp-dir long.session
echo frame >short.session
TMPDIR= "$sim" run --temp-dir short.session >/dev/null 2>&1 || fail "an empty TMPDIR is not taken as unset"

finish
