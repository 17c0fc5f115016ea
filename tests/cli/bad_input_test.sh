#!/usr/bin/env bash
# Bad input everywhere: each mistake gives its exit status and one line naming the problem.
set -u
sim=$1
src=$2
. "$src/tests/cli/lib.sh"

# The command line (the full set of usage errors: command_line_test.cpp and cli_options_test.sh).
expect_error 2 "no command given" "$sim"
expect_error 2 "unknown command 'frobnicate'" "$sim" frobnicate
expect_error 2 "run needs at least one script" "$sim" run
expect_error 2 "--screen needs a value" "$sim" run --screen

# Scripts that are missing, not files, or say something wrong.
expect_error 2 "missing.session:0: cannot read the script: No such file or directory" "$sim" run missing.session
mkdir folder.session
expect_error 2 "folder.session:0: cannot read the script: it is a directory" "$sim" run folder.session
printf 'frame\ntap F13\n' >key.session
expect_error 2 "key.session:2: unknown key 'F13'" "$sim" run key.session
expect_error 2 "/dev/zero:0: cannot read the script: it is a character device" "$sim" run /dev/zero
printf 'jump 3\n' >command.session
expect_error 2 "command.session:1: unknown command 'jump'" "$sim" run command.session
printf 'frame 1 2\n' >count.session
expect_error 2 "count.session:1: usage: frame [N]" "$sim" run count.session
printf 'fail-cameras many\n' >cameras.session
expect_error 2 "cameras.session:1: 'many' is not a number of camera creations" "$sim" run cameras.session
printf 'aim 7\n' >entity.session
expect_error 2 "entity.session:1: no entity 7 exists" "$sim" run entity.session
printf 'frame\n' >ok.session
expect_error 2 "cannot load module $work/nowhere.so: No such file or directory" "$sim" run --module nowhere.so ok.session
expect_error 2 "cannot make a temporary" env TMPDIR="$work/nowhere" "$sim" run --temp-dir ok.session

# An unreadable directory: its script and its export cannot be read.
mkdir locked
cp ok.session locked/
printf '      <expressions>\r\n      </expressions>' >locked/export.xml
chmod 000 locked
expect_error 2 "locked/ok.session:0: cannot read the script: Permission denied" "${as_user[@]}" "$user_sim" run locked/ok.session
expect_error 2 "cannot read locked/export.xml: Permission denied" "${as_user[@]}" "$user_sim" show locked/export.xml
chmod 755 locked

# show (what it refuses, file by file: xml_reader_test.cpp).
expect_error 2 "usage: pfe-sim show FILE.xml" "$sim" show
expect_error 2 "cannot read /dev/zero: it is a character device, not a regular file" "$sim" show /dev/zero
printf '      <expressions>\n      </expressions>' >unix.xml
expect_error 1 "unix.xml:1: the line ends with LF alone" "$sim" show unix.xml

# play: no terminal on standard input, or a wrong option.
expect_error 2 "play reads keys from a terminal, and standard input is not one" "$sim" play
expect_error 2 "unknown option --bogus for play" "$sim" play --bogus
expect_error 2 "play takes no 'extra'" "$sim" play extra

finish
