#!/usr/bin/env bash
# Creates the box root for the box service library (libtessad.so.0): like
# /tmp, world-writable with the sticky bit, so that every user keeps a
# folder of their own there and nobody can remove another's.
# Usage: sudo scripts/setup-box-root.sh [root]   (default /box)
set -euo pipefail
root="${1:-/box}"
if [ "$(id -u)" -ne 0 ]; then
  echo "run as root (sudo $0 $root)" >&2
  exit 1
fi
if [ -e "$root" ] && [ ! -d "$root" ]; then
  echo "$root exists and is not a folder" >&2
  exit 1
fi
mkdir -p "$root"
chown root:root "$root"
chmod 1777 "$root"
echo "box root ready: $(stat -c '%A %U:%G %n' "$root")"
if ! grep -Eq '^[[:space:]]*user_allow_other[[:space:]]*$' /etc/fuse.conf 2>/dev/null; then
  echo "note: to let shares of encrypted boxes reach other users while the owner"
  echo "has the box mounted, add the line 'user_allow_other' to /etc/fuse.conf."
fi
