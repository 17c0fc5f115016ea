#!/usr/bin/env bash
# Bad input everywhere: each mistake gives its exit status and one line naming the problem.
. "$2/tests/cli/lib.sh"

# The command line's mistakes are in command_line_test.cpp and cli_options_test.sh.
# Scripts that are missing, not files, or say something wrong.
expect_error 2 "missing.session:0: cannot read the script: No such file or directory" "$sim" run missing.session
mkdir folder.session
expect_error 2 "folder.session:0: cannot read the script: it is a directory" "$sim" run folder.session
printf 'frame\ntap F13\n' >key.session
expect_error 2 "key.session:2: unknown key 'F13'" "$sim" run key.session
expect_error 2 "/dev/zero:0: cannot read the script: it is a character device" "$sim" run /dev/zero
printf 'jump\033]2;owned\007 3\n' >command.session
expect_error 2 "command.session:1: unknown command 'jump\\x1B]2;owned\\x07'" "$sim" run command.session
expect_error 2 "\\x1B]2;x\\x07.session:0: cannot read the script" "$sim" run $'\033]2;x\007.session'
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

# show.
expect_error 2 "cannot read absent.xml: No such file or directory" "$sim" show absent.xml
expect_error 2 "cannot read folder.session: it is a directory" "$sim" show folder.session
expect_error 2 "cannot read /dev/zero: it is a character device, not a regular file" "$sim" show /dev/zero
printf '      <expressions>\n      </expressions>' >unix.xml
expect_error 1 "unix.xml:1: the line ends with LF alone" "$sim" show unix.xml

# play: no terminal on standard input.
expect_error 2 "play reads keys from a terminal, and standard input is not one" "$sim" play

finish
