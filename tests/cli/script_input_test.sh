#!/usr/bin/env bash
# Hostile script input: files that are not regular files or are too large, numbers outside their
# grammar, what editors put around lines, and the counts in the player's messages. Each mistake
# ends quickly with its exit status and one line naming the problem.
. "$2/tests/cli/lib.sh"

# A reader that loads a device or a huge file whole would eat the machine's memory before the
# timeout stops it: cap the address space, except under a sanitizer, which reserves terabytes.
if ! ldd "$sim" | grep -qE 'lib(a|t)san'; then
  ulimit -v 2000000
fi

# within SECONDS COMMAND...: runs the command and fails if it took longer.
within() {
  local most=$1 start=$SECONDS
  shift
  "$@"
  [ $((SECONDS - start)) -le "$most" ] || fail "$*: took more than $most s"
}

printf 'frame\n' >ok.session
printf 'export\n' >present.txt
printf 'x' >one.txt
mkdir dir.xml golden.d
mkfifo pipe.xml
ln -s /dev/zero zero.xml

# Golden files (status 2) and the files a script compares (status 1): regular files of at most
# a limit, refused before a byte is read, the limit named.
truncate -s 1G huge.xml
while IFS='|' read -r status line message limit; do
  printf '%s\n' "$line" >check.session
  within 5 expect_error "$status" "check.session:1: $message" "$sim" run check.session
  [ -z "$limit" ] || grep -qE "larger than [0-9]+ bytes, the limit for a $limit\$" stderr.txt ||
    fail "$line: the limit is not named: $(cat stderr.txt)"
done <<CASES
2|expect same-file present.txt /dev/zero|cannot read the golden file /dev/zero: it is a character device, not a regular file
2|expect same-file present.txt golden.d|cannot read the golden file $work/golden.d: it is a directory
2|expect same-file present.txt pipe.xml|cannot read the golden file $work/pipe.xml: it is a FIFO, not a regular file
2|expect same-file present.txt huge.xml|cannot read the golden file $work/huge.xml: it is larger than|golden file
1|expect same-file dir.xml present.txt|expected file dir.xml with the bytes of present.txt; it is a directory
1|expect same-file zero.xml present.txt|expected file zero.xml with the bytes of present.txt; it is a character device, not a regular file
1|expect same-file huge.xml present.txt|expected file huge.xml with the bytes of present.txt; it is larger than|compared file
1|expect file dir.xml 4096|expected file dir.xml of 4096 bytes; it is a directory
1|expect file pipe.xml 0|expected file pipe.xml of 0 bytes; it is a FIFO, not a regular file
1|expect file absent.xml 5|expected file absent.xml of 5 bytes; there is no such file
CASES

# Scripts: a huge one is refused at once, naming the limit; a script of exactly the limit runs,
# one byte more does not.
truncate -s 1G huge.session
within 5 expect_error 2 "huge.session:0: cannot read the script: it is larger than" "$sim" run huge.session
limit=$(sed -n 's/.*it is larger than \([0-9]*\) bytes, the limit for a script$/\1/p' stderr.txt)
if [ -z "$limit" ]; then
  fail "the script limit is not named: $(cat stderr.txt)"
else
  { printf 'frame\n'; head -c $((limit - 7)) /dev/zero | tr '\0' '#'; printf '\n'; } >full.session
  [ "$(stat -c %s full.session)" -eq "$limit" ] || fail "full.session is not $limit bytes"
  expect_success "$sim" run full.session
  printf '#' >>full.session
  expect_error 2 "full.session:0: cannot read the script: it is larger than $limit bytes" "$sim" run full.session
fi
within 5 expect_error 2 "pipe.xml:0: cannot read the script: it is a FIFO, not a regular file" "$sim" run pipe.xml

# What editors put around lines: a byte-order mark first, CR LF or a lone CR at each line's end
# (where lines are counted, and where a mark is refused: script_reader_test.cpp).
printf '\xef\xbb\xbfframe\nexpect camera none\n' >bom.session
expect_success "$sim" run bom.session
printf 'ped 2 A_M_M_VALTOWNFOLK_01\r\naim 2\r\nframe\r\nexpect drawn "F7 to select"\r\n' >crlf.session
expect_success "$sim" run crlf.session
printf 'ped 2 A_M_M_VALTOWNFOLK_01\raim 2\rframe 2\rexpect drawn "F7 to select"\r' >cr.session
expect_success "$sim" run cr.session

# Numbers in their grammar still work (the whole grammar is in script_reader_test.cpp): a hash
# of 8 digits, signs and exponents; and a dictionary the game is told it has.
cat >numbers.session <<'SESSION'
ped 2 0xFFFFFFFF heading -90.5 at 1e2 -0.25 0
object 3 0x1
hash NAME 0x0000abcd
tap 0x76 0
move 2 0 0 0 heading 1E1
dictionary some@dictionary
frame 0
SESSION
expect_success "$sim" run numbers.session

# The player's ped made before the first frame takes handle 1000: a ped spawned there first is
# the ped line's mistake, not the frame's. With 'player' first there is no clash.
printf 'ped 1000 A_M_M_VALTOWNFOLK_01\nremove 1000\nped 1000 CS_DUTCH\n\nframe\n' >clash.session
expect_error 2 "clash.session:3: entity 1000 takes the handle of the player's ped, which is made before the first frame (line 5)" "$sim" run clash.session
printf 'object 1000\ntap F7\n' >clash-tap.session
expect_error 2 "clash-tap.session:1: entity 1000 takes the handle" "$sim" run clash-tap.session
printf 'ped 1000 A_M_M_VALTOWNFOLK_01\nplayer 1000\nframe\n' >chosen.session
expect_success "$sim" run chosen.session
printf 'frame\nped 1000 A_M_M_VALTOWNFOLK_01\n' >late.session
expect_error 2 "late.session:2: entity 1000 exists already" "$sim" run late.session

# Counts in messages take the singular for one.
cat >plural.session <<'SESSION'
ped 2 A_M_M_VALTOWNFOLK_01
aim 2
frame
expect drawn "nothing like this"
tap F7
frame
expect camera none
expect file one.txt 2
expect same-file one.txt present.txt
SESSION
status=0
"$sim" run plural.session >stdout.txt 2>stderr.txt || status=$?
[ "$status" -eq 1 ] || fail "plural.session: status $status, expected 1"
for message in "plural.session:4: expected a drawn text containing \"nothing like this\"; the last frame drew 1 text:" \
  "plural.session:7: expected no scripted camera; 1 exists" \
  "plural.session:8: expected file one.txt of 2 bytes; it holds 1 byte" \
  "plural.session:9: file one.txt differs from present.txt at byte 0 (1 byte against 7)"; do
  grep -qxF -- "$message" stderr.txt || fail "plural.session: no line '$message' in: $(cat stderr.txt)"
done

finish
