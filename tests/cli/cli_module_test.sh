#!/usr/bin/env bash
# Loading the module: whatever --module names, run and play end at once with status 2 and one
# line that names the cause, and leave nothing behind in the temporary folder.
. "$2/tests/cli/lib.sh"
module=$(dirname "$sim")/libPedFeatureEditor.so

# Every run here gets a temporary folder of its own, which must stay empty.
mkdir tmp
export TMPDIR=$work/tmp
left_behind() {
  [ -z "$(ls -A "$work/tmp")" ] || fail "$1: left in TMPDIR: $(ls -A "$work/tmp")"
  rm -rf "${work:?}/tmp/"* "${work:?}/tmp/".[!.]* 2>/dev/null
}

printf 'frame\n' >ok.session
cp ok.session other.session

# expect_refused FRAGMENT PATH: run (with two scripts) and play both refuse the module PATH
# with one line holding "cannot load module PATH: FRAGMENT", not blamed on a script.
expect_refused() {
  local fragment=$1 path=$2
  expect_error 2 "pfe-sim: cannot load module $path: $fragment" "$sim" run --module "$path" ok.session other.session
  grep -q 'session:' stderr.txt && fail "--module $path: the message names a script: $(cat stderr.txt)"
  left_behind "run --module $path"
  # play reads keys from a terminal: script(1) gives it one. Its output is the terminal's.
  local status=0
  timeout 20 script -qec "'$sim' play --module '$path'" /dev/null </dev/null >play.txt 2>&1 || status=$?
  tr -d '\r' <play.txt >play-lines.txt
  [ "$status" -eq 2 ] || fail "play --module $path: exit status $status, expected 2: $(head -c 300 play.txt)"
  [ "$(wc -l <play-lines.txt)" -eq 1 ] && [ "$(grep -c 'cannot load' play-lines.txt)" -eq 1 ] ||
    fail "play --module $path: not one line saying 'cannot load' once: $(head -c 300 play-lines.txt)"
  grep -qF -- "$fragment" play-lines.txt || fail "play --module $path: lacks '$fragment': $(head -c 300 play-lines.txt)"
  left_behind "play --module $path"
}

# Not regular files: answered before a byte is read, however endless or blocking the file.
expect_refused "it is a character device, not a regular file" /dev/zero
expect_refused "it is a directory" "$work/tmp"
mkfifo "$work/pipe.so"
expect_refused "it is a FIFO, not a regular file" "$work/pipe.so"
expect_refused "No such file or directory" "$work/nowhere.so"

# Files that are not the module.
: >"$work/empty.so"
expect_refused "it is empty" "$work/empty.so"
printf 'not a library\n' >"$work/text.so"
expect_refused "it is not an ELF shared library" "$work/text.so"
head -c 20 "$module" >"$work/short.so"
expect_refused "it is too short for an ELF shared library (20 bytes)" "$work/short.so"
truncate -s 65M "$work/huge.so" # sparse: nothing to read, and nothing is read
expect_refused "it holds 68157440 bytes, more than the limit of 67108864" "$work/huge.so"
# A shared library of another kind.
expect_refused "it has no entry point DllMain" "$(dirname "$sim")/pfe_no_entry_module.so"

# Cut short: the loader would map the missing part and die of SIGBUS at its first touch.
size=$(stat -c %s "$module")
head -c $((size / 2)) "$module" >"$work/half.so"
expect_refused "it is cut short" "$work/half.so"
# Cut just before the section headers at the end: every segment is whole, so it would load
# and run as if it were the module; its headers still say that bytes are missing.
sections=$(od -An -t u8 -j 40 -N 8 "$module" | tr -d ' ')
head -c "$sections" "$module" >"$work/headless.so"
expect_refused "it is cut short: its section headers end at byte" "$work/headless.so"

# No file lands in TMPDIR, so a full or missing one does not matter to loading.
status=0
TMPDIR=$work/no-such-folder "$sim" run ok.session >stdout.txt 2>stderr.txt || status=$?
[ "$status" -eq 0 ] || fail "run with TMPDIR missing: status $status: $(cat stderr.txt)"

# Under a file size limit below the module's size no copy of it fits in memory: it is loaded
# from its own path instead, and every load is still fresh: the second script of a run finds
# the module's values at load, nothing selected, although the first left its ped selected. The
# limit lies just below the module's size, so that the thread sanitizer's runtime can start.
cat >select.session <<'SESSION'
frame
expect drawn "F7 to select Self"
tap F7
frame
expect drawn "Press F8 to save XML"
SESSION
"$sim" run --module "$module" select.session select.session >stdout.txt 2>stderr.txt ||
  fail "the same script twice in one run: $(cat stderr.txt)"
blocks=$(($(stat -c %s "$module") / 1024 - 1))
message=$(bash -c 'ulimit -f "$2"; exec "$0" run "$1" "$1" 2>&1' "$sim" select.session "$blocks") ||
  fail "run under ulimit -f $blocks: exit status $?: $message"
left_behind "run under ulimit -f $blocks"

finish
