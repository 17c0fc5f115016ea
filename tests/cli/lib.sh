# Shared by the command-line tests: a scratch directory, and checks of pfe-sim's exit status
# and messages. A test script PFE-SIM SOURCE-TREE sources it as `. "$2/tests/cli/lib.sh"`,
# which sets sim and src from those two (a nested shell without them keeps its own).
set -u
if [ $# -ge 2 ]; then sim=$1 src=$2; fi
. "$src/tests/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/pfe-cli-XXXXXX")
chmod 755 "$work"
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

# A command prefix that runs as the unprivileged user when we are root, so that permission
# bits hold: "${as_user[@]}" "$user_sim" ARGS... The user may not reach the build tree, so
# user_sim is a copy of pfe-sim with its libraries in the scratch directory.
as_user=()
user_sim=$sim
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  mkdir "$work/bin"
  cp "$sim" "$(dirname "$sim")"/*.so "$work/bin/"
  chmod -R a+rX "$work/bin"
  user_sim=$work/bin/$(basename "$sim")
fi

# drop_fiber_notice: takes out of stderr.txt the one notice the address sanitizer prints at
# the first fiber switch, so that the lines left are pfe-sim's own.
drop_fiber_notice() {
  sed -i "/^==[0-9]*==WARNING: ASan doesn't fully support makecontext/d" stderr.txt
}

# expect_error STATUS FRAGMENT COMMAND...: the command ends within 20 s with STATUS, writes
# exactly one line to standard error, and that line holds FRAGMENT.
expect_error() {
  local status=$1 fragment=$2
  shift 2
  local actual=0
  timeout 20 "$@" >stdout.txt 2>stderr.txt </dev/null || actual=$?
  drop_fiber_notice
  local lines
  lines=$(wc -l <stderr.txt)
  if [ "$actual" -ne "$status" ]; then
    fail "$*: exit status $actual, expected $status; stderr: $(head -c 300 stderr.txt)"
  elif [ "$lines" -ne 1 ]; then
    fail "$*: $lines lines on stderr, expected one: $(head -c 300 stderr.txt)"
  elif ! grep -qF -- "$fragment" stderr.txt; then
    fail "$*: stderr lacks '$fragment': $(cat stderr.txt)"
  fi
}

# expect_success COMMAND...: the command ends within 20 s with status 0 and writes nothing to
# standard error.
expect_success() {
  local actual=0
  timeout 20 "$@" >stdout.txt 2>stderr.txt </dev/null || actual=$?
  drop_fiber_notice
  [ "$actual" -eq 0 ] || fail "$*: exit status $actual, expected 0; stderr: $(head -c 300 stderr.txt)"
  [ ! -s stderr.txt ] || fail "$*: wrote to standard error: $(head -c 300 stderr.txt)"
}

# expect_output FRAGMENT: the last command's standard output holds FRAGMENT.
expect_output() {
  grep -qF -- "$1" stdout.txt || fail "output lacks '$1'"
}
