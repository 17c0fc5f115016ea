# pfe-sim play under tmux, for the play tests: each session gets its own terminal; send-keys
# types, capture-pane reads the screen, pipe-pane records every byte play writes. Sourced
# after lib.sh, with sim (pfe-sim) and work (the scratch directory) set.
#
# The tmux server is the test's own, its socket in the scratch directory, and nothing of it
# outlives the test: the exit trap (also on SIGHUP, SIGINT, SIGTERM) ends the plays and the
# server, and a watchdog in a session of its own does the same once the test is gone, should
# it be killed outright (as a timeout of ctest does).

"$src/tools/setup.sh" tmux || exit 1

socket=$work/tmux-socket
tmux_() { tmux -S "$socket" "$@"; }
# The server goes first, with the shells that would write a play's status into the folder.
end_plays() {
  tmux_ kill-server 2>/dev/null
  for pid in "$work"/*.pid; do [ -s "$pid" ] && kill -KILL "$(cat "$pid")" 2>/dev/null; done
  chmod -R u+rwx "$work" 2>/dev/null
  rm -rf "$work" 2>/dev/null || { sleep 0.2; rm -rf "$work"; }
}
trap end_plays EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
setsid sh -c 'while kill -0 "$2" 2>/dev/null; do sleep 1; done
  tmux -S "$1/tmux-socket" kill-server
  for pid in "$1"/*.pid; do [ -s "$pid" ] && kill -KILL "$(cat "$pid")"; done
  rm -rf "$1" || { sleep 0.2; rm -rf "$1"; }' watchdog "$work" $$ </dev/null >/dev/null 2>&1 &

# start NAME [COLUMNS ROWS [DIRECTORY [COMMAND...]]]: COMMAND (default: pfe-sim play) in a
# terminal of 130x70 (or the size given), in DIRECTORY (default: the scratch directory). In
# the scratch directory: its pid in NAME.pid, its exit status in NAME.status, the terminal
# settings before and after it in NAME.before and NAME.after, all it wrote in NAME.raw.
# A command that is not the default names pfe-sim as "$0".
start() {
  local name=$1 columns=${2:-130} rows=${3:-70} directory=${4:-$work}
  shift $(($# < 4 ? $# : 4))
  local command=${*:-'"$0" play'}
  local file=$work/$name
  rm -f "$file".*
  tmux_ new-session -d -s "$name" -x "$columns" -y "$rows" -c "$directory" \
    "until [ -e $file.go ]; do sleep 0.05; done; ulimit -c 0; stty -g >$file.before
     sh -c 'echo \$\$ >$file.pid; exec $command' '$sim'; echo \$? >$file.status
     stty -g >$file.after; sleep 60"
  tmux_ pipe-pane -t "$name" -o "cat >$file.raw"
  touch "$file.go"
}
screen() { tmux_ capture-pane -p -t "$1"; }

# pane NAME FORMAT: a tmux format of the pane, e.g. '#{alternate_on}'.
pane() { tmux_ display-message -p -t "$1" "$2"; }

# wait_for NAME TEXT [SECONDS]: the screen shows TEXT within 15 seconds (or SECONDS).
wait_for() {
  local deadline=$((SECONDS + ${3:-15}))
  while [ $SECONDS -lt $deadline ]; do
    screen "$1" | grep -qF -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# expect_screen NAME TEXT: as wait_for, failing the test with the screen when it does not.
expect_screen() {
  wait_for "$1" "$2" || fail "$1: the screen never showed '$2':"$'\n'"$(screen "$1")"
}

# started NAME: the session's play drew its first screen.
started() {
  wait_for "$1" "F7 to select Self" || fail "$1: play did not start: $(screen "$1" | head -5)"
}

# wait_file FILE [SECONDS]: FILE exists and is not empty within 15 seconds (or SECONDS).
wait_file() {
  local deadline=$((SECONDS + ${2:-15}))
  while [ $SECONDS -lt $deadline ]; do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# ended NAME STATUS: play exited with STATUS and left the terminal as it found it: the same
# settings, the main screen, the cursor shown.
ended() {
  local name=$1 status=$2
  if ! wait_file "$work/$name.after"; then
    fail "$name: play did not end: $(screen "$name" | tail -3)"
    kill -KILL "$(cat "$work/$name.pid")" 2>/dev/null
    return
  fi
  [ "$(cat "$work/$name.status")" = "$status" ] ||
    fail "$name: exit status $(cat "$work/$name.status"), expected $status"
  cmp -s "$work/$name.before" "$work/$name.after" || fail "$name: terminal settings not restored"
  [ "$(pane "$name" '#{alternate_on} #{cursor_flag}')" = "0 1" ] ||
    fail "$name: left the alternate screen on or the cursor hidden ($(pane "$name" '#{alternate_on} #{cursor_flag}'))"
  tmux_ kill-session -t "$name"
}

# below_grid NAME: the line right below the grid's bottom border.
below_grid() { screen "$1" | awk 'found { print; exit } /^\+-.*-\+$/ && seen { found = 1 } /^\+-/ { seen = 1 }'; }
