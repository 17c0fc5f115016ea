#!/usr/bin/env bash
# Prints the lines that make a session script depend on the stand-in's virtual clock, which
# the Windows build does not have (there the module reads the system clock): `wait`, `clock`
# and `frame-time` commands, and a comment line "# needs: virtual-clock" that a script whose
# frames must age a key release carries. Exit status 0 when there is such a line, 1 when not.
# Usage: virtual_clock_lines.sh SCRIPT
grep -nE '^[[:space:]]*((wait|clock|frame-time)([[:space:]]|$)|#[[:space:]]*needs:[[:space:]]*virtual-clock)' "$1"
