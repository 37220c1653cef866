#!/usr/bin/env bash
# Runs one box service test binary as a throwaway ordinary account.
#
#   run-as-ordinary-account.sh TEST_BINARY [LIBRARY_DIR...]
#
# Root skips every permission check an ordinary account lives under, so
# the suite also runs this way. Needs root to create the account; anyone
# else gets exit status 77 (skipped). The account gets its own temporary
# folder for HOME, TMPDIR and the XDG folders; the test's box roots go in
# there too. Account, processes, mounts and folder go afterwards.
set -u

SKIP=77
binary=${1:?usage: $0 TEST_BINARY [LIBRARY_DIR...]}
shift

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: running the tests as a throwaway ordinary account needs root (to create it)"
  exit "$SKIP"
fi
for tool in useradd userdel setpriv; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing"
    exit "$SKIP"
  fi
done

account="tsdo$$"
userdel "$account" >/dev/null 2>&1
if ! useradd -M -N -s /usr/sbin/nologin "$account"; then
  echo "SKIP: could not create the account $account"
  exit "$SKIP"
fi
uid=$(id -u "$account")
gid=$(id -g "$account")
folder=$(mktemp -d /tmp/tessad-ordinary-XXXXXX)

# Ids of the processes the account runs: the test and what it started
# (background removers, gocryptfs daemons).
account_processes() {
  find /proc -mindepth 1 -maxdepth 1 -name '[0-9]*' -uid "$uid" -printf '%f\n' 2>/dev/null
}

cleanup() {
  # Give them a moment, then end each by its id.
  for _ in $(seq 50); do
    [ -z "$(account_processes)" ] && break
    sleep 0.1
  done
  for pid in $(account_processes); do
    kill -KILL "$pid" 2>/dev/null
  done
  grep -F " $folder" /proc/self/mountinfo | awk '{print $5}' | sort -r |
    while read -r point; do
      fusermount3 -uz "$point" 2>/dev/null || umount -l "$point"
    done
  rm -rf "$folder"
  userdel "$account" >/dev/null 2>&1
}
trap cleanup EXIT

for dir in home tmp config data cache state runtime; do
  mkdir -p "$folder/$dir"
done
chmod 0700 "$folder/runtime"
chown -R "$uid:$gid" "$folder"
chmod 0755 "$folder"

# A small file system of the account's own, for the tests of a full disk
# (an ordinary account cannot mount one); they skip where there is none.
small_fs=""
mkdir "$folder/small"
if mount -t tmpfs -o "size=24m,mode=0700,uid=$uid,gid=$gid,nosuid,nodev" tmpfs "$folder/small" 2>/dev/null; then
  small_fs="$folder/small"
fi

# The account must reach the binary and its libraries; where the build
# folder is closed to it, they are copied into its folder.
run_binary=$binary
library_path=""
if ! setpriv --reuid="$uid" --regid="$gid" --init-groups test -x "$binary"; then
  mkdir -p "$folder/bin"
  cp "$binary" "$folder/bin/"
  for dir in "$@"; do
    cp -P "$dir"/lib*.so* "$folder/bin/" 2>/dev/null
  done
  chown -R "$uid:$gid" "$folder/bin"
  run_binary="$folder/bin/$(basename "$binary")"
  library_path="$folder/bin"
fi

echo "running $(basename "$binary") as $account (uid $uid)"
cd "$folder/home" || exit 1
setpriv --reuid="$uid" --regid="$gid" --init-groups \
  env HOME="$folder/home" TMPDIR="$folder/tmp" \
  XDG_CONFIG_HOME="$folder/config" XDG_DATA_HOME="$folder/data" \
  XDG_CACHE_HOME="$folder/cache" XDG_STATE_HOME="$folder/state" \
  XDG_RUNTIME_DIR="$folder/runtime" \
  ${small_fs:+TESSAD_TEST_SMALL_FS="$small_fs"} \
  ${library_path:+LD_LIBRARY_PATH="$library_path"} \
  "$run_binary"
