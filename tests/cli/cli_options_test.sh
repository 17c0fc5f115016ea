#!/usr/bin/env bash
# The command line as getopt users know it, what run reports, the values show accepts, and
# output that cannot be written.
. "$2/tests/cli/lib.sh"
module=$(dirname "$sim")/libPedFeatureEditor.so
version=$(sed -n 's/^project(PedFeatureEditor VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")

printf 'frame\n' >ok.session
cp ok.session ./-dash.session

# --help, -h and --version, for the tool and each command: status 0, on standard output.
for command in "" run play show; do
  for flag in --help -h; do
    expect_success "$sim" $command $flag
    expect_output "usage: pfe-sim ${command:-COMMAND}"
  done
  expect_success "$sim" $command --version
  [ "$(cat stdout.txt)" = "pfe-sim $version" ] || fail "$command --version: $(cat stdout.txt)"
done
# Options and operands in any order; help wins over what follows it. run's lists the script
# commands.
expect_success "$sim" run ok.session --help
expect_output "expect feature H ID|NAME VALUE"
expect_success "$sim" show --help --bogus
expect_output "usage: pfe-sim show"

# --opt=value, grouped and long flags, options after operands, and -- before a file named
# like an option.
expect_success "$sim" run --module="$module" --screen=60x20 --temp-dir ok.session
expect_success "$sim" run ok.session --module "$module" -q
[ ! -s stdout.txt ] || fail "run -q printed: $(head -c 300 stdout.txt)"
expect_success "$sim" run --quiet -- -dash.session
expect_success "$sim" run -- -dash.session
expect_output "ok -dash.session (1 frame, 0 exports)"

# Usage errors: status 2 and one line.
expect_error 2 "pfe-sim: --trace takes no value" "$sim" run --trace=yes ok.session
expect_error 2 "pfe-sim: --module needs a value" "$sim" play --module
expect_error 2 "pfe-sim: unknown option -x for run (pfe-sim run --help shows the usage)" "$sim" run -qx ok.session
expect_error 2 "pfe-sim: unknown option --bogus (pfe-sim --help shows the usage)" "$sim" --bogus
expect_error 2 "pfe-sim: --screen takes WIDTHxHEIGHT" "$sim" play --screen ' 120x40'
expect_error 2 "pfe-sim: run needs at least one script" "$sim" run -- 
expect_error 2 "pfe-sim: cannot read -x.xml: No such file or directory" "$sim" show -- -x.xml

# run reports each script and sums up; exports are the files the editor said it wrote.
cat >two-exports.session <<'SESSION'
ped 2 A_M_M_VALTOWNFOLK_01 at 10 5 0
frame
tap F7
tap F8
tap F8
tap DELETE
aim 2
frame
tap F7
tap F8
frame
expect drawn "Wrote Moulary_A_M_M_VALTOWNFOLK_01.xml"
SESSION
cat >blocked.session <<'SESSION'
block Moulary_PLAYER_ZERO.xml
frame
tap F7
tap F8
frame
expect drawn "Cannot open Moulary_PLAYER_ZERO.xml"
SESSION
printf 'frame\nexpect drawn "nothing of the kind"\n' >fails.session
printf 'frame 2 3\n' >wrong.session
example=$src/examples/select-yourself-and-export.session
status=0
"$sim" run --temp-dir ok.session "$example" two-exports.session blocked.session fails.session \
  wrong.session >stdout.txt 2>stderr.txt || status=$?
[ "$status" -eq 2 ] || fail "run of six scripts: exit status $status, expected 2"
expect_output "ok ok.session (1 frame, 0 exports)"
expect_output "ok $example (27 frames, 1 export)"
expect_output "ok two-exports.session (9 frames, 2 exports)"
expect_output "ok blocked.session (4 frames, 0 exports)"
expect_output "FAIL fails.session"
expect_output "FAIL wrong.session"
[ "$(tail -n 1 stdout.txt)" = "4 passed, 2 failed" ] || fail "summary: $(tail -n 1 stdout.txt)"
grep -q '^fails.session:2: ' stderr.txt && grep -q '^wrong.session:1: ' stderr.txt ||
  fail "the failing scripts are not named: $(head -c 300 stderr.txt)"
expect_success "$sim" run -q --temp-dir ok.session "$example"
grep -qE '^(ok|FAIL) |passed' stdout.txt && fail "run -q reports: $(grep -E '^(ok|FAIL) |passed' stdout.txt)"

# show holds values to what "%f" of a float prints: six decimals, and only the numbers a
# float holds; nan, -nan, inf and -inf as glibc prints them.
export_with() {
  printf '      <expressions>\r\n        <Item>\r\n          <id value="36106"/>\r\n'
  printf '          <value value="%s"/>\r\n        </Item>\r\n      </expressions>' "$1"
}
for value in 0.400000 -0.100000 nan -nan inf -inf 16777216.000000 \
  340282346638528859811704183484516925440.000000; do
  export_with "$value" >value.xml
  expect_success "$sim" show value.xml
  expect_output "PEDEXPRESS_JAW_HEIGHT  id 36106  "
done
for value in 1e50 100000000000000000000000000000000000000000000000000.000000 16777217.000000 \
  340282366920938463463374607431768211456.000000 0.4000001 +0.400000 00.400000 0.4 NAN \
  infinity 'nan(1)' ' 0.400000'; do
  export_with "$value" >value.xml
  expect_error 1 "value.xml:4: the value \"$value\" is not one the editor writes" "$sim" show value.xml
done

# Standard output that cannot be written fails the command, with one line saying why.
export_with 0.400000 >good.xml
for args in "show good.xml" "run --trace ok.session" "run ok.session" "--help" "run --version"; do
  status=0
  # shellcheck disable=SC2086
  timeout 20 "$sim" $args >/dev/full 2>stderr.txt </dev/null || status=$?
  drop_fiber_notice
  [ "$status" -eq 2 ] || fail "$args >/dev/full: exit status $status, expected 2"
  [ "$(wc -l <stderr.txt)" -eq 1 ] && grep -qx 'pfe-sim: cannot write to standard output: No space left on device' stderr.txt ||
    fail "$args >/dev/full: $(head -c 300 stderr.txt)"
done
status=0
"$sim" run ok.session >&- 2>stderr.txt || status=$?
[ "$status" -eq 2 ] && grep -qx 'pfe-sim: standard output is closed' stderr.txt ||
  fail "run with standard output closed: status $status: $(cat stderr.txt)"

finish
