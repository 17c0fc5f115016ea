#!/usr/bin/env bash
# run --trace: every native call by name and hash, its arguments decoded by what they are.
. "$2/tests/cli/lib.sh"

cat >select.session <<'SESSION'
ped 2 A_M_M_VALTOWNFOLK_01 heading 90 at 10 5 0
aim 2
frame
tap F7
tap RIGHT
frame
SESSION
"$sim" run -q --trace select.session >stdout.txt 2>stderr.txt || fail "run --trace: $(cat stderr.txt)"

# Every line is one call: frame (or the unload, outside any frame), name, hash, arguments.
bad=$(grep -cvE '^(frame [0-9]+|unload): [A-Z_]+ \(0x[0-9A-F]{16}\)( .*)?$' stdout.txt)
[ "$bad" -eq 0 ] || fail "$bad lines are not calls: $(grep -vE '^(frame [0-9]+|unload): ' stdout.txt | head -3)"
[ "$(wc -l <stdout.txt)" -gt 100 ] || fail "only $(wc -l <stdout.txt) calls traced"
# Strings as text, floats as floats, handles and ids as integers, booleans by name.
expect_output ': _DISPLAY_TEXT (0xD79334A4BB99BAD1) "F7 to select A_M_M_VALTOWNFOLK_01", 0.45, 0.5'
expect_output ': SET_TEXT_SCALE (0x4170B650590B3B00) 0.27, 0.27'
expect_output ': GET_ENTITY_PLAYER_IS_FREE_AIMING_AT (0xA6817C110B830EAD) 0, &2'
expect_output ': IS_PED_HUMAN (0xB980061DA992779D) 2'
expect_output ': SET_CAM_ACTIVE (0x87295BCA613800C8) 1, true'
expect_output ': _SET_CHAR_EXPRESSION (0x5653AB26C82938CF) 2, 36277, 0.1'
expect_output ': _SET_CHAR_EXPRESSION (0x5653AB26C82938CF) 2, 60890, 0'
expect_output ': _DISPLAY_TEXT (0xD79334A4BB99BAD1) "->", 0.02, 0.06'
expect_output 'unload: CLEAR_PED_TASKS_IMMEDIATELY (0xAAA34F8A7CB32098) 1000, 1, 1'
grep -qF 'PEDEXPRESS_NECK_WIDTH = 0.10\nPEDEXPRESS_NECK_DEPTH = 0.00\n' stdout.txt ||
  fail "the feature list is not traced as one text with its line feeds"
# Nothing known is left as raw slots: the only hex argument is the camera's type hash.
raw=$(grep -E '[ (,]0x[0-9A-F]+(,|$)' stdout.txt | grep -v ': CREATE_CAMERA ' | head -3)
[ -z "$raw" ] || fail "raw arguments left: $raw"

finish
