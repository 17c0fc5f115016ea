#!/usr/bin/env bash
# Installs with apt-get whatever of the build and test tools this Debian machine lacks.
# Usage: tools/setup.sh [extra-package...]
set -euo pipefail

# acl and attr give tests/cli/export_fs_test.sh setfacl/getfacl and setfattr/getfattr.
packages=(cmake ninja-build g++ libgtest-dev libncurses-dev git acl attr "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "setup: missing packages ${missing[*]}; run as root or install them with apt-get" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
