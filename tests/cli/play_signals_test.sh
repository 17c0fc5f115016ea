#!/usr/bin/env bash
# pfe-sim play and signals: Ctrl-Z gives the terminal back (line mode, main screen, cursor
# shown) while play is stopped, and fg takes it again (keys act without Enter, the screen
# drawn whole); a stop of any kind is followed by the same. Every signal whose
# default action ends the process leaves the terminal as play found it.
. "$2/tests/cli/lib.sh"
. "$src/tests/cli/play_lib.sh"

# Signals from outside, all sessions at once: the orderly ones end play with 128 + N, the
# ones of a crash end it by the signal itself, after the terminal is given back.
signals=(TERM INT HUP USR1 USR2 ALRM PIPE VTALRM PROF XCPU XFSZ IO PWR RTMIN RTMAX TRAP SYS SEGV ABRT)
for signal in "${signals[@]}"; do
  start "sig$signal"
done
for signal in "${signals[@]}"; do
  started "sig$signal"
  kill -s "$signal" "$(cat "$work/sig$signal.pid")"
done
# Under a sanitizer, SIGSEGV's earlier course is the sanitizer's report, which ends the process
# its own way.
sanitizer=$(ldd "$sim" 2>/dev/null | grep -oE 'lib[at]san' | head -1)
for signal in "${signals[@]}"; do
  status=$((128 + $(kill -l "$signal")))
  if [ -n "$sanitizer" ] && [ "$signal" = SEGV ]; then
    wait_file "$work/sigSEGV.after" && status=$(cat "$work/sigSEGV.status")
    [ "$status" -ne 0 ] || fail "sigSEGV: exit status 0 under $sanitizer"
  fi
  ended "sig$signal" "$status"
done

# A signal between F8's frame and the next still lists the export: the file is written in
# F8's frame, the editor says "Wrote" only in the next. SIGSTOP holds play in that window.
export=Moulary_PLAYER_ZERO.xml
for try in 1 2 3 4 5; do
  start "last$try" && started "last$try" && tmux_ send-keys -t "last$try" F7
  expect_screen "last$try" "Press F8 to save XML"
  rm -f "$export" && tmux_ send-keys -t "last$try" F8
  deadline=$((SECONDS + 15))
  until [ -e "$export" ] || [ $SECONDS -ge $deadline ]; do :; done
  kill -STOP "$(cat "last$try.pid")" && sleep 0.3
  screen "last$try" | grep -q Wrote || break
  kill -KILL "$(cat "last$try.pid")"
done
[ -e "$export" ] && ! screen "last$try" | grep -q Wrote || fail "last: F8's frame never caught"
kill -TERM "$(cat "last$try.pid")" && kill -CONT "$(cat "last$try.pid")"
wait_file "last$try.after" && screen "last$try" | grep -qF "exported $work/$export" ||
  fail "last: an export of play's last frame is not listed:"$'\n'"$(screen "last$try" | tail -3)"
ended "last$try" 143

# Nothing of a play test outlives it, even killed outright: its plays and tmux server end.
sim=$sim src=$src out=$work bash -c '. "$src/tests/cli/lib.sh"; . "$src/tests/cli/play_lib.sh"
  start orphan; started orphan; cp "$work/orphan.pid" "$out"; echo "$work" >"$out/orphan.work"
  kill -KILL $$' 2>/dev/null
for _ in $(seq 100); do
  kill -0 "$(cat orphan.pid)" 2>/dev/null || [ -e "$(cat orphan.work)" ] || break
  sleep 0.1
done
kill -0 "$(cat orphan.pid)" 2>/dev/null && fail "orphan: play outlived its test"
[ -e "$(cat orphan.work)" ] && fail "orphan: the test's tmux socket and scratch folder were left"

# stop_refused NAME WHY: Ctrl-Z in play NAME says why it does nothing, and play goes on.
stop_refused() {
  tmux_ send-keys -t "$1" C-z
  expect_screen "$1" "Ctrl-Z does nothing here: $2"
  tmux_ send-keys -t "$1" F7
  expect_screen "$1" "Press F8 to save XML"
  tmux_ send-keys -t "$1" q
  ended "$1" 0
}

# Signals ignored when play starts stay ignored, Ctrl-Z's SIGTSTP among them.
start ignored 130 70 "$work" 'env --ignore-signal=USR1 --ignore-signal=TSTP "$0" play'
started ignored
kill -s USR1 "$(cat "$work/ignored.pid")"
stop_refused ignored "stopping was turned off when play began"

# Ctrl-Z where no shell has job control (tmux runs play under sh -c): nothing could resume a
# stopped play, so it goes on and says so.
start nojobs
started nojobs
stop_refused nojobs "no shell with job control could resume play"

# An interactive shell with job control.
tmux_ new-session -d -s job -x 130 -y 70 -c "$work" "env PS1='$ ' HISTFILE= bash --norc --noprofile -i"
wait_for job '$' || fail "job: no shell prompt: $(screen job)"
# play runs in a subshell, as from a script: Ctrl-Z must stop the whole job, or the shell would
# wait for a subshell that never ends while play sits stopped.
tmux_ send-keys -t job -l "stty -g >job.before; (sh -c 'echo \$\$ >job.pid; exec \"\$0\" play' '$sim'; echo \$? >job.status; stty -g >job.after)"
tmux_ send-keys -t job Enter
started job

# given_back WHEN: play is stopped, and the terminal is the shell's again, in the modes it had
# before play; the screen is cleared for the next stop.
given_back() {
  expect_screen job "Stopped"
  [ "$(pane job '#{alternate_on} #{cursor_flag}')" = "0 1" ] ||
    fail "job: stopped $1 with the alternate screen on or the cursor hidden"
  tmux_ send-keys -t job -l "printf '\\033[H\\033[2J'; stty -g >job.stopped"
  tmux_ send-keys -t job Enter
  wait_file job.stopped || fail "job: the shell did not run a command after $1"
  cmp -s job.before job.stopped || fail "job: stopped $1 in the session's terminal modes"
  rm -f job.stopped
}

# taken_again WHEN: after fg, play has the alternate screen, draws it whole, and reads keys
# one by one.
taken_again() {
  tmux_ send-keys -t job fg Enter
  expect_screen job "exports go to"
  [ "$(pane job '#{alternate_on}')" = 1 ] || fail "job: no alternate screen after fg, $1"
}

tmux_ send-keys -t job C-z
given_back "by Ctrl-Z"
taken_again "after Ctrl-Z"
expect_screen job "resumed after a stop"
tmux_ send-keys -t job F7
expect_screen job "Press F8 to save XML"

tmux_ send-keys -t job Down
expect_screen job "->PEDEXPRESS_NECK_DEPTH = 0.00"

# SIGSTOP cannot be caught, and while play is stopped the terminal's modes may change (a shell
# sets its own when a job stops): SIGCONT is where play takes the terminal again.
kill -STOP "$(cat job.pid)"
stty sane <"$(pane job '#{pane_tty}')"
kill -CONT "$(cat job.pid)"
tmux_ send-keys -t job Right F8
expect_screen job "Wrote Moulary_PLAYER_ZERO.xml"
expect_screen job "->PEDEXPRESS_NECK_DEPTH = 0.10"
tmux_ send-keys -t job q
wait_file job.after || fail "job: play did not end: $(screen job | tail -3)"
[ "$(cat job.status 2>/dev/null)" = 0 ] || fail "job: exit status $(cat job.status 2>/dev/null), expected 0"
cmp -s job.before job.after || fail "job: terminal settings not restored"
[ "$(pane job '#{alternate_on} #{cursor_flag}')" = "0 1" ] || fail "job: screen or cursor not restored"

finish
