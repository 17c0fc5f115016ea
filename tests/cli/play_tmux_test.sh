#!/usr/bin/env bash
# pfe-sim play in a real terminal: tmux runs it, send-keys types, capture-pane reads the
# screen. Each session also records the terminal settings before and after, which must match
# however play ended (q, Esc, Ctrl-C, SIGTERM, SIGINT).
set -u
sim=$1
src=$2
"$src/tools/setup.sh" tmux || exit 1
. "$src/tests/cli/lib.sh"

socket="pfe-play-test-$$"
tmux_() { tmux -L "$socket" "$@"; }
trap 'tmux_ kill-server 2>/dev/null; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT

# start NAME [COLUMNS ROWS [VARIABLE=VALUE]]: a session of pfe-sim play in a terminal of
# 130x70 (or the size given, with the variable set); its pid goes to NAME.pid, its exit status
# to NAME.status, the terminal settings to NAME.before and NAME.after.
start() {
  local name=$1
  rm -f "$name".*
  tmux_ new-session -d -s "$name" -x "${2:-130}" -y "${3:-70}" -c "$work" \
    "stty -g >$name.before; sh -c 'echo \$\$ >$name.pid; exec env ${4:-} \"\$0\" play' '$sim'; echo \$? >$name.status; stty -g >$name.after; sleep 60"
  wait_for "$name" "F7 to select Self" || fail "$name: play did not start: $(screen "$name" | head -5)"
}

screen() { tmux_ capture-pane -p -t "$1"; }

# wait_for NAME TEXT: the screen shows TEXT within 10 s.
wait_for() {
  local i
  for i in $(seq 100); do
    screen "$1" | grep -qF -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# expect_screen NAME TEXT: as wait_for, failing the test with the screen when it does not.
expect_screen() {
  wait_for "$1" "$2" || fail "$1: the screen never showed '$2':"$'\n'"$(screen "$1")"
}

# ended NAME STATUS: play exited with STATUS and left the terminal as it found it.
ended() {
  local name=$1 status=$2 i
  for i in $(seq 100); do
    [ -s "$name.after" ] && break
    sleep 0.1
  done
  if [ ! -s "$name.after" ]; then
    fail "$name: play did not end"
    kill -KILL "$(cat "$name.pid")" 2>/dev/null
    return
  fi
  [ "$(cat "$name.status")" = "$status" ] || fail "$name: exit status $(cat "$name.status"), expected $status"
  cmp -s "$name.before" "$name.after" || fail "$name: terminal settings not restored"
  tmux_ kill-session -t "$name"
}

# A whole edit: aim with Tab, select, move, step, export, end.
start edit
tmux_ send-keys -t edit Tab
expect_screen edit "F7 to select A_M_M_VALTOWNFOLK_01"
expect_screen edit "aim: 2 A_M_M_VALTOWNFOLK_01 (a townsman)"
tmux_ send-keys -t edit F7
expect_screen edit "Press F8 to save XML"
for i in $(seq 26); do tmux_ send-keys -t edit Down; done
tmux_ send-keys -t edit Right Right Right Right Down Left Left Left
expect_screen edit "->PEDEXPRESS_JAW_WIDTH = -0.30"
expect_screen edit "  PEDEXPRESS_JAW_HEIGHT = 0.40"
tmux_ send-keys -t edit F8
expect_screen edit "Wrote Moulary_A_M_M_VALTOWNFOLK_01.xml"
"$sim" show Moulary_A_M_M_VALTOWNFOLK_01.xml >stdout.txt 2>&1 || fail "edit: the export does not read back: $(cat stdout.txt)"
expect_output "PEDEXPRESS_JAW_WIDTH   id 60334  -0.300000"
tmux_ send-keys -t edit Delete
expect_screen edit "F7 to select A_M_M_VALTOWNFOLK_01"
tmux_ send-keys -t edit F5
expect_screen edit "key ESC[15~ does nothing here"
tmux_ send-keys -t edit q
ended edit 0

# Tab runs over the world and back to nothing; Shift-Tab goes the other way.
start aim
tmux_ send-keys -t aim Tab Tab
expect_screen aim "F7 to select A_F_M_VALTOWNFOLK_01"
tmux_ send-keys -t aim Tab Tab
expect_screen aim "aim: 5 A_C_HORSE_MORGAN_BAY (a horse)"
expect_screen aim "Invalid Entity"
tmux_ send-keys -t aim Tab
expect_screen aim "aim: 6 WAGON02X (a wagon)"
tmux_ send-keys -t aim Tab
expect_screen aim "aim: nothing"
expect_screen aim "F7 to select Self"
tmux_ send-keys -t aim BTab
expect_screen aim "aim: 6 WAGON02X (a wagon)"

# About 30 frames a second (the frame counter below the grid; loose bounds for slow machines).
first=$(screen aim | grep -o 'frame [0-9]*' | cut -d' ' -f2)
sleep 2
second=$(screen aim | grep -o 'frame [0-9]*' | cut -d' ' -f2)
rate=$(((second - first) / 2))
[ "$rate" -ge 10 ] && [ "$rate" -le 40 ] || fail "aim: $rate frames a second"
tmux_ send-keys -t aim Escape
ended aim 0

# Selecting yourself, then Ctrl-C.
start self
tmux_ send-keys -t self F7
expect_screen self "Press F8 to save XML"
tmux_ send-keys -t self C-c
ended self 0

# A terminal of 80x24 shows a window of the grid that follows the marker.
start short 80 24
tmux_ send-keys -t short F7
expect_screen short "|->PEDEXPRESS_NECK_WIDTH = 0.00"
for i in $(seq 27); do tmux_ send-keys -t short Down; done
expect_screen short "|->PEDEXPRESS_JAW_WIDTH = 0.00"
expect_screen short "above: Press F8 to save XML"
expect_screen short " rows below ---"
tmux_ send-keys -t short q
ended short 0

# Colour: the editor's yellow warning shows in yellow, and plainly under NO_COLOR. The export
# cannot be opened because a directory holds its name.
mkdir Moulary_PLAYER_ZERO.xml
start color
tmux_ send-keys -t color F7 F8
expect_screen color "Cannot open Moulary_PLAYER_ZERO.xml!"
tmux_ capture-pane -e -p -t color | grep -qF $'\e[33mCannot open' ||
  fail "color: the warning is not yellow: $(tmux_ capture-pane -e -p -t color | grep -F 'Cannot open' | od -c | head -3)"
tmux_ send-keys -t color q
ended color 0
start plain 130 70 NO_COLOR=1
tmux_ send-keys -t plain F7 F8
expect_screen plain "Cannot open Moulary_PLAYER_ZERO.xml!"
if tmux_ capture-pane -e -p -t plain | grep -qF $'\e['; then
  fail "plain: colour despite NO_COLOR"
fi
tmux_ send-keys -t plain q
ended plain 0
rmdir Moulary_PLAYER_ZERO.xml

# Signals from outside, in the middle of an edit.
start term
tmux_ send-keys -t term F7
expect_screen term "Press F8 to save XML"
kill -TERM "$(cat term.pid)"
ended term 143
start int
kill -INT "$(cat int.pid)"
ended int 130

finish
