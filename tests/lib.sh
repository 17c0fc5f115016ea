# Shared by every shell test, of the command line (tests/cli) and of the Windows build
# (tests/windows): failed checks are counted, and the test ends saying how many there were.

failures=0

# fail MESSAGE...: one failed check, said on standard error; the test goes on.
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# finish [SUMMARY]: ends the test: status 1 when a check failed, saying how many; otherwise
# SUMMARY (by default "all checks passed") and status 0.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "${1:-all checks passed}"
}

# use_wine PREFIX: Wine runs in PREFIX, quiet, without a display and without the .NET and HTML
# engines it would otherwise offer to install.
use_wine() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  unset DISPLAY WAYLAND_DISPLAY
}
