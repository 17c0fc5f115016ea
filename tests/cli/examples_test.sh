#!/usr/bin/env bash
# The examples a newcomer runs first: each passes, and the exports they leave read back.
. "$2/tests/cli/lib.sh"

for example in "$src"/examples/*.session; do
  status=0
  timeout 60 "$sim" run --temp-dir "$example" >stdout.txt 2>stderr.txt || status=$?
  [ "$status" -eq 0 ] || fail "$(basename "$example"): exit status $status: $(head -c 500 stderr.txt)"
done

# The townsperson example, in this directory: the screen in the middle of the edit, then
# an export that show reads back feature by feature.
"$sim" run "$src/examples/edit-townsperson.session" >stdout.txt 2>stderr.txt || fail "edit-townsperson: $(cat stderr.txt)"
expect_output "|  ->PEDEXPRESS_JAW_WIDTH = -0.30"
expect_output "|    PEDEXPRESS_JAW_HEIGHT = 0.40"
expect_output "scale 0.27, on line 28 of text 2: ->"
"$sim" show Moulary_A_M_M_VALTOWNFOLK_01.xml >stdout.txt 2>stderr.txt || fail "show: $(cat stderr.txt)"
expect_output "Moulary_A_M_M_VALTOWNFOLK_01.xml: 2 features"
expect_output "  PEDEXPRESS_JAW_HEIGHT  id 36106   0.400000"
expect_output "  PEDEXPRESS_JAW_WIDTH   id 60334  -0.300000"

finish
