#!/usr/bin/env bash
# pfe-sim play keeps keys in order: typed faster than the frames run, every key that acts
# (the game's keys, Tab and Shift-Tab, the quit keys) waits its turn behind the keys typed
# before it, one a frame. tmux types each send-keys line at once, faster than a frame.
. "$2/tests/cli/lib.sh"
. "$src/tests/cli/play_lib.sh"

# F7 F8 q: select yourself, export, then quit; the export is written and listed on exit.
start quit
started quit
tmux_ send-keys -t quit F7 F8 q
ended_screen=$(wait_file "$work/quit.after" && screen quit)
ended quit 0
[ -f Moulary_PLAYER_ZERO.xml ] || fail "quit: F8 typed before q wrote no export"
grep -qF "exported $work/Moulary_PLAYER_ZERO.xml" <<<"$ended_screen" ||
  fail "quit: the export is not listed on exit: $ended_screen"
rm -f Moulary_PLAYER_ZERO.xml

# The same with Esc, Ctrl-C and Ctrl-D, and with the edit in between.
for key in Escape C-c C-d; do
  start "quit$key"
  started "quit$key"
  tmux_ send-keys -t "quit$key" F7 Right F8 "$key"
  ended "quit$key" 0
  grep -qF 'value value="0.100000"' Moulary_PLAYER_ZERO.xml 2>/dev/null ||
    fail "quit$key: the keys before $key did not all act: $(cat Moulary_PLAYER_ZERO.xml 2>&1)"
  rm -f Moulary_PLAYER_ZERO.xml
done

# F7 Tab while aiming at nothing: F7 selects yourself; only then does Tab aim at the townsman.
start order
started order
tmux_ send-keys -t order F7 Tab
expect_screen order "aim: 2 A_M_M_VALTOWNFOLK_01 (a townsman)"
tmux_ send-keys -t order F8
expect_screen order "Wrote Moulary_PLAYER_ZERO.xml"
[ -f Moulary_A_M_M_VALTOWNFOLK_01.xml ] && fail "order: Tab acted before the F7 typed before it"

# Delete, then the other way round: Tab Tab Shift-Tab F7 aims at the townswoman and selects her;
# arrows and F8 typed with them act in order on her.
tmux_ send-keys -t order Delete Tab Tab BTab F7 Down Right Right F8
expect_screen order "Wrote Moulary_A_F_M_VALTOWNFOLK_01.xml"
expect_screen order "->PEDEXPRESS_NECK_DEPTH = 0.20"
grep -qF 'value value="0.200000"' Moulary_A_F_M_VALTOWNFOLK_01.xml ||
  fail "order: the export does not hold the step typed before F8"
tmux_ send-keys -t order q
ended order 0

# A key the editor does not use is named by the terminal library. Tab runs over the world (a
# horse is no one to edit) and back to nothing; Shift-Tab back.
start edit
started edit
tmux_ send-keys -t edit F5
expect_screen edit "key KEY_F(5) does nothing here"
tmux_ send-keys -t edit Tab Tab Tab Tab
expect_screen edit "Invalid Entity"
tmux_ send-keys -t edit Tab Tab BTab
expect_screen edit "aim: 6 WAGON02X (a wagon)"
# About 30 frames a second (the frame counter below the grid; loose bounds for slow machines).
first=$(screen edit | grep -o 'frame [0-9]*' | cut -d' ' -f2)
sleep 2
second=$(screen edit | grep -o 'frame [0-9]*' | cut -d' ' -f2)
rate=$(((second - first) / 2))
[ "$rate" -ge 10 ] && [ "$rate" -le 40 ] || fail "edit: $rate frames a second"
tmux_ send-keys -t edit q
ended edit 0

finish
