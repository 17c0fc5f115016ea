#!/usr/bin/env bash
# What pfe-sim play shows: the ped edited apart from the one aimed at; why an export failed,
# on the line below the grid; plain lines on a terminal without cursor control; colour by the
# terminal's description; names from outside escaped; a terminal too narrow or too short said
# so rather than a grid cut or wrapped. Also: standard output must be a terminal, one play a
# terminal, and Alt with a key (Esc and the key at once) does nothing.
. "$2/tests/cli/lib.sh"
. "$src/tests/cli/play_lib.sh"

# Standard output redirected: refused at once, in one line.
start redirect 130 70 "$work" '"$0" play >redirect.out 2>redirect.err'
wait_file "$work/redirect.status" || fail "redirect: play > file did not end: $(head -c 200 redirect.out)"
[ "$(cat redirect.status)" = 2 ] || fail "redirect: exit status $(cat redirect.status), expected 2"
[ "$(wc -l <redirect.err)" -eq 1 ] && grep -qF "standard output is not" redirect.err ||
  fail "redirect: not one line naming standard output: $(cat redirect.err)"
[ -s redirect.out ] && fail "redirect: wrote to the file: $(head -c 200 redirect.out | od -c | head -3)"
tmux_ kill-session -t redirect

# The ped edited and the one aimed at, each named; Alt-q neither quits nor acts.
start peds
started peds
expect_screen peds "editing: nothing | aim: nothing"
tmux_ send-keys -t peds Tab F7
expect_screen peds "editing: 2 A_M_M_VALTOWNFOLK_01 (a townsman) | aim: 2 A_M_M_VALTOWNFOLK_01"
tmux_ send-keys -t peds Tab
expect_screen peds "editing: 2 A_M_M_VALTOWNFOLK_01 (a townsman) | aim: 3 A_F_M_VALTOWNFOLK_01 (a townswoman)"
tmux_ send-keys -t peds M-q
expect_screen peds "key Alt-q does nothing here"
tmux_ send-keys -t peds M-Tab Delete
expect_screen peds "editing: nothing | aim: 3 A_F_M_VALTOWNFOLK_01 (a townswoman)"
tmux_ send-keys -t peds Escape
ended peds 0

# Why an export failed, right below the grid, found again for each attempt.
start export
started export
mkdir Moulary_PLAYER_ZERO.xml
tmux_ send-keys -t export F7 F8
expect_screen export "Cannot open Moulary_PLAYER_ZERO.xml!"
expect_screen export "why: Moulary_PLAYER_ZERO.xml is a directory"
[ "$(below_grid export)" = "why: Moulary_PLAYER_ZERO.xml is a directory" ] ||
  fail "export: below the grid: $(below_grid export)"
rmdir Moulary_PLAYER_ZERO.xml
tmux_ send-keys -t export F8
expect_screen export "Wrote Moulary_PLAYER_ZERO.xml"
[ "$(below_grid export)" = "exports go to $work" ] || fail "export: below the grid: $(below_grid export)"
# A file size limit set on the running play: the write fails, the editor says so, and play
# goes on (SIGXFSZ does not end it).
prlimit --pid "$(cat export.pid)" --fsize=16
tmux_ send-keys -t export F8
expect_screen export "Cannot write Moulary_PLAYER_ZERO.xml!"
expect_screen export "why: files may grow to 16 bytes at most in this process (ulimit -f)"
tmux_ send-keys -t export q
ended export 0
[ -e Moulary_PLAYER_ZERO.xml.tmp ] && fail "export: the editor left its temporary file"

# A directory no file can be made in, for a user whom the permission bits bind.
mkdir readonly
chmod 555 readonly
start readonly 130 70 "$work/readonly" "${as_user[*]} $user_sim play"
started readonly
tmux_ send-keys -t readonly F7 F8
expect_screen readonly "why: no file can be made in $work/readonly: Permission denied"
tmux_ send-keys -t readonly q
ended readonly 0

# TERM=dumb: no escape sequence at all (no alternate screen, no cursor moves, no colour): each
# new screen printed below the last. Its description has no function keys; Tab and q work.
start dumb 130 70 "$work" 'env TERM=dumb "$0" play'
started dumb
[ "$(pane dumb '#{alternate_on}')" = 0 ] || fail "dumb: alternate screen on"
expect_screen dumb "has no key F7 F8 Delete Left Right Up Down"
tmux_ send-keys -t dumb Tab
expect_screen dumb "F7 to select A_M_M_VALTOWNFOLK_01"
tmux_ send-keys -t dumb q
ended dumb 0
if grep -q $'\e' dumb.raw; then
  fail "dumb: escape sequences written: $(grep -ao $'\e[^a-zA-Z]*[a-zA-Z]' dumb.raw | sort -u | od -c | head -5)"
fi

# Colour by the terminal's description: the editor's yellow warning in yellow; none under
# NO_COLOR, nor on terminals without colours (xterm-mono), nor in sequences a VT52 does not
# know. The export cannot be opened because a directory holds its name.
rm -f Moulary_PLAYER_ZERO.xml
mkdir Moulary_PLAYER_ZERO.xml
for kind in color:xterm-256color: mono:xterm-mono: vt52:vt52: nocolor:xterm-256color:NO_COLOR=1; do
  IFS=: read -r name term variable <<<"$kind"
  start "$name" 130 70 "$work" "env TERM=$term $variable \"\$0\" play"
  # tmux is no VT52: there the keys and the screen are not tmux's, only the bytes are checked.
  [ "$name" = vt52 ] && sleep 1 || tmux_ send-keys -t "$name" F7 F8
  [ "$name" = vt52 ] || expect_screen "$name" "Cannot open Moulary_PLAYER_ZERO.xml!"
  tmux_ send-keys -t "$name" q
  ended "$name" 0
  colored=$(grep -c $'\e\\[33m' "$name.raw")
  [ "$name" = color ] && [ "$colored" -eq 0 ] && fail "color: the warning is not yellow"
  [ "$name" != color ] && [ "$colored" -ne 0 ] && fail "$name: colour written"
done
grep -q $'\e\\[' vt52.raw && fail "vt52: sequences a VT52 does not know: $(grep -ao $'\e\\[[^a-zA-Z]*[a-zA-Z]' vt52.raw | sort -u | head -3)"
rmdir Moulary_PLAYER_ZERO.xml

# One play a terminal: a second one on it refuses at once, and the first keeps its modes.
start first
started first
tty=$(pane first '#{pane_tty}')
timeout 10 "$sim" play <"$tty" >"$tty" 2>second.err
[ $? = 2 ] && grep -qF "another pfe-sim play runs on this terminal" second.err ||
  fail "second: not refused: $(cat second.err)"
tmux_ send-keys -t first F7
expect_screen first "Press F8 to save XML"
tmux_ send-keys -t first q
ended first 0

# A folder named with control bytes (here a terminal's retitling sequence) is shown escaped.
title=$'retitle-\e]2;owned\a'
mkdir "$title"
start named 130 70 "$work/$title"
expect_screen named 'exports go to '"$work"'/retitle-\x1B]2;owned\x07'
tmux_ send-keys -t named q
ended named 0
grep -qF $'\e]2;owned' named.raw && fail "named: the folder's name reached the terminal raw"

# A terminal of 80x24 shows a window of the grid that follows the marker.
start short 80 24
started short
tmux_ send-keys -t short F7
expect_screen short "|->PEDEXPRESS_NECK_WIDTH = 0.00"
for i in $(seq 27); do tmux_ send-keys -t short Down; done
expect_screen short "|->PEDEXPRESS_JAW_WIDTH = 0.00"
expect_screen short "above: Press F8 to save XML"
expect_screen short " rows below ---"
tmux_ send-keys -t short q
ended short 0

# Narrow and short: the grid (with its borders) needs the width of its widest text, and a
# few rows; below that play says so and draws no grid, and draws it again when there is room.
start narrow 40 30
started narrow
tmux_ send-keys -t narrow Tab
expect_screen narrow "it needs 62 columns,"
screen narrow | grep -q '^+-' && fail "narrow: a grid was drawn: $(screen narrow)"
tmux_ resize-window -t narrow -x 100
expect_screen narrow "F7 to select A_M_M_VALTOWNFOLK_01"
screen narrow | grep -qF "Too narrow" && fail "narrow: still too narrow at 100 columns: $(screen narrow)"
tmux_ send-keys -t narrow Tab F7
expect_screen narrow "Press F8 to save XML"
tmux_ resize-window -t narrow -x 45
expect_screen narrow "it needs 53 columns,"
tmux_ resize-window -t narrow -x 53
expect_screen narrow "|->PEDEXPRESS_NECK_WIDTH = 0.00"
tmux_ resize-window -t narrow -y 8
expect_screen narrow "it needs 9 rows,"
tmux_ resize-window -t narrow -y 9
expect_screen narrow "|->PEDEXPRESS_NECK_WIDTH = 0.00"
tmux_ send-keys -t narrow q
ended narrow 0

finish
