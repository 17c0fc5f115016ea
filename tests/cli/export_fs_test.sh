#!/usr/bin/env bash
# F8 against the real file system: a disk full by size or by inodes (a small tmpfs in a mount
# namespace of its own), a chain of links as long as the system follows, a dangling link, a
# FIFO, hard links, bits and owner, a folder that refuses new files, an ACL and an extended
# attribute, another user's file in a shared setgid folder, and an append-only folder. The
# earlier export is never lost, and a file keeps its links and rights. Cases the machine
# cannot set up (no mount namespace, no chattr, not root) are skipped, saying so.
# Usage: export_fs_test.sh PFE-SIM SOURCE-TREE
set -uo pipefail
. "$2/tests/cli/lib.sh"
export_name=Moulary_PLAYER_ZERO.xml
# An earlier export (one row raised, 142 bytes) and a later one (two rows, 243 bytes).
printf 'frame\ntap F7\ntap RIGHT\ntap F8\nframe\nexpect drawn "Wrote %s"\n' "$export_name" >earlier.session
later_session() {
  printf 'frame\ntap F7\ntap RIGHT\ntap DOWN\ntap RIGHT 2\ntap F8\nframe\nexpect drawn "%s"\n' \
    "$1" >"$2"
}
later_session "Wrote $export_name" "$work/wrote.session"
later_session "~COLOR_YELLOW~Cannot write $export_name!" "$work/cannot-write.session"
later_session "~COLOR_YELLOW~Cannot open $export_name!" "$work/cannot-open.session"
chmod a+r "$work"/*.session
"$sim" run -q earlier.session >/dev/null || { fail "the earlier export cannot be made"; finish; }
earlier=$work/earlier.xml
mv "$export_name" "$earlier"

# export_with CASE SESSION [COMMAND-PREFIX...]: plays the session in the current folder, as
# pfe-sim, or as $exporter where that is set.
export_with() {
  local case=$1 session=$2
  shift 2
  "$@" "${exporter:-$sim}" run -q "$work/$session.session" >"$work/run.out" 2>&1 ||
    fail "$case: $(head -c 300 "$work/run.out")"
}
# left_beside CASE FILE...: nothing but the files named lies in the current folder.
left_beside() {
  local case=$1 left name keep=()
  shift
  for name in "$@"; do keep+=(-not -name "$name"); done
  left=$(find . -mindepth 1 -maxdepth 1 "${keep[@]}")
  [ -z "$left" ] || fail "$case: left behind: $left"
}

# ---- a full disk: the earlier export stays whole ---------------------------------------------
# Inside `unshare -m` a tmpfs is mounted over a folder, the earlier export put there, and the
# disk filled up by size or by inodes; F8 then says "Cannot write" and the export is whole.
full_disk() {
  local case=$1 options=$2 fill=$3
  mkdir -p "$work/$case"
  unshare -m bash -c '
    mount -t tmpfs -o "$1" pfe-full "$2" || exit 77
    cd "$2" && cp "$3" "$4" || exit 1
    eval "$5" 2>/dev/null
    "$6" run -q "$7" >"$8" 2>&1 || { echo "pfe-sim: $(head -c 300 "$8")"; exit 1; }
    cmp -s "$4" "$3" || { echo "the earlier export changed: $(wc -c <"$4") bytes"; exit 1; }
    "$6" show "$4" >/dev/null || { echo "pfe-sim show refuses what is left"; exit 1; }
    find . -name "$4.*" | grep -q . && { echo "left behind: $(find . -name "$4.*")"; exit 1; }
    exit 0' full "$options" "$work/$case" "$earlier" "$export_name" "$fill" "$sim" \
      "$work/cannot-write.session" "$work/run.out" >"$work/$case.out" 2>&1
  case $? in
    0) ;;
    77) echo "SKIP: $case: a tmpfs cannot be mounted in a mount namespace here" ;;
    *) fail "$case: $(cat "$work/$case.out")" ;;
  esac
}
if unshare -m true 2>/dev/null; then
  full_disk full-by-size size=64k 'head -c 1M /dev/zero >fill'
  full_disk full-by-inodes size=1M,nr_inodes=8 'for n in $(seq 20); do : >"fill-$n"; done'
else
  echo "SKIP: a full disk: no mount namespace can be made here (unshare -m)"
fi

# ---- links: followed by the system, as far as it follows them --------------------------------
# Forty links lead from the export's name to the file (the system follows 40); one more is
# "Cannot open". Every link stays a link.
mkdir "$work/links" && cd "$work/links" || exit 1
cp "$earlier" real.xml
ln -s real.xml link40
for n in $(seq 39 -1 2); do ln -s "link$((n + 1))" "link$n"; done
ln -s link2 "$export_name"
export_with "40 links" wrote
[ "$(wc -c <real.xml)" -eq 243 ] || fail "40 links: the file at their end was not written"
[ -L "$export_name" ] || fail "40 links: the export's name is no longer a link"
rm "$export_name" && ln -s link1 "$export_name" && ln -s link2 link1
cp "$earlier" real.xml
export_with "41 links" cannot-open
cmp -s real.xml "$earlier" || fail "41 links: the file at their end changed"
left_beside "links" 'link*' real.xml "$export_name"

# ---- what lies at the name -------------------------------------------------------------------
mkdir "$work/kinds" && cd "$work/kinds" || exit 1
# A dangling link gets the file it names, as opening it makes it. A FIFO is refused at once
# (opening it for writing would wait for a reader, holding the game up) and stays.
ln -s made.xml "$export_name"
export_with "dangling link" wrote
[ -L "$export_name" ] && [ "$(wc -c <made.xml)" -eq 243 ] || fail "dangling link: nothing made"
rm "$export_name" made.xml && mkfifo "$export_name"
export_with "FIFO" cannot-open timeout 20
[ -p "$export_name" ] || fail "FIFO: it is gone"
# Every name of a file with two hard links sees the new bytes.
rm "$export_name" && cp "$earlier" "$export_name" && ln "$export_name" second.xml
export_with "hard link" wrote
[ "$(stat -c '%h %s' second.xml)" = "2 243" ] || fail "hard link: second.xml is not the export"
# A replaced file keeps its bits and, where the process may give it (root), its owner; a new
# file is made as the process makes any (0666 less the umask).
rm second.xml && chmod 640 "$export_name"
[ "$(id -u)" -ne 0 ] || chown 65534:65534 "$export_name"
before=$(stat -c '%u:%g %a' "$export_name")
export_with "bits and owner" wrote
[ "$(stat -c '%u:%g %a %s' "$export_name")" = "$before 243" ] ||
  fail "bits and owner: $before became $(stat -c '%u:%g %a' "$export_name")"
rm "$export_name" && umask_before=$(umask) && umask 027
export_with "new file" wrote
umask "$umask_before"
[ "$(stat -c %a "$export_name")" = 640 ] || fail "new file: mode $(stat -c %a "$export_name")"
left_beside "what lies at the name" "$export_name"
# A folder that refuses new files (root's, to nobody): a writable export is written in place;
# where there is none, nothing can be made.
mkdir "$work/refusing" && cd "$work/refusing" || exit 1
[ "$(id -u)" -eq 0 ] || chmod 555 .
exporter=$user_sim export_with "refusing folder, no file" cannot-open "${as_user[@]}"
cp "$earlier" "$export_name" 2>/dev/null || { chmod 755 . && cp "$earlier" "$export_name" && chmod 555 .; }
chmod 666 "$export_name"
exporter=$user_sim export_with "refusing folder" wrote "${as_user[@]}"
[ "$(wc -c <"$export_name")" -eq 243 ] || fail "refusing folder: the export was not written"
left_beside "refusing folder" "$export_name"

# ---- rights: an ACL, an extended attribute, another user's file ------------------------------
tools_for_rights=1
command -v setfacl >/dev/null && command -v setfattr >/dev/null ||
  { tools_for_rights=0; echo "SKIP: ACL and attribute cases: setfacl/setfattr missing (tools/setup.sh acl attr)"; }
if [ "$tools_for_rights" -eq 1 ]; then
  mkdir "$work/rights" && cd "$work/rights" || exit 1
  cp "$earlier" "$export_name"
  chmod 640 "$export_name"
  if setfacl -m u:65534:rw "$export_name" && setfattr -n user.origin -v kept "$export_name"; then
    acl_before=$(getfacl -cp "$export_name")
    export_with "ACL" wrote
    [ "$(getfacl -cp "$export_name")" = "$acl_before" ] ||
      fail "ACL: the file's ACL changed: $(getfacl -cp "$export_name" | tr '\n' ' ')"
    [ "$(getfattr --only-values -n user.origin "$export_name" 2>/dev/null)" = kept ] ||
      fail "attribute: user.origin is lost"
    [ "$(wc -c <"$export_name")" -eq 243 ] || fail "ACL: the file was not written"
    left_beside "rights" "$export_name"
  else
    echo "SKIP: ACL and attribute cases: the file system here takes neither"
  fi
fi
# Another user's file in a shared setgid folder, exported by nobody of the folder's group: the
# file keeps its owner (no rename can give it), its group and its bits.
if [ "$(id -u)" -eq 0 ]; then
  mkdir "$work/shared" && cd "$work/shared" || exit 1
  chgrp 100 . && chmod 2775 .
  cp "$earlier" "$export_name" && chown 1234:100 "$export_name" && chmod 664 "$export_name"
  exporter=$user_sim export_with "another owner" wrote setpriv --reuid=65534 --regid=100 --clear-groups
  [ "$(stat -c '%u:%g %a %s' "$export_name")" = "1234:100 664 243" ] ||
    fail "another owner: the file is now $(stat -c '%u:%g %a, %s bytes' "$export_name")"
  left_beside "another owner" "$export_name"
else
  echo "SKIP: another user's file: the test is not run as root"
fi

# ---- an append-only folder: no temporary file is left there ----------------------------------
mkdir "$work/append-only" && cd "$work/append-only" || exit 1
if chattr +a . 2>/dev/null; then
  trap 'chattr -a "$work/append-only"; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
  export_with "append-only, new" wrote
  export_with "append-only, again" wrote
  [ "$(wc -c <"$export_name")" -eq 243 ] || fail "append-only: the export was not written"
  left_beside "append-only" "$export_name"
  chattr -a .
else
  echo "SKIP: append-only folder: chattr +a is refused here"
fi
finish
