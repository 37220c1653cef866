#!/usr/bin/env bash
# Takes the user guide's screenshots of the real program, in Chinese and in
# English, on a private X display against the real box service in a
# temporary box root, and puts them in doc/guide/images/<language>/:
#
#   scripts/guide-screenshots.sh [BUILD_FOLDER]
#
# Needs the build's vaultrane_guide_shots, Xvfb and openbox, gocryptfs and
# FUSE; fake accounts to share with come from tests/data through nss_wrapper.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$(cd "${1:-build}" && pwd)"
shots="$build/tools/vaultrane_guide_shots"
[ -x "$shots" ] || { echo "build the target vaultrane_guide_shots first" >&2; exit 1; }
nss_wrapper="$(find /usr/lib -name libnss_wrapper.so | head -n1)"
[ -n "$nss_wrapper" ] || { echo "libnss-wrapper is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'grep -o "$work/[^ ]*" /proc/mounts | while read -r m; do fusermount3 -u "$m" || true; done; rm -rf "$work"' EXIT
sed "s/@SELF_UID@/$(id -u)/g" tests/data/share_passwd >"$work/passwd"
sed -i "s/^runner:/$(id -un):/" "$work/passwd"
cp tests/data/share_group "$work/group"

for language in zh_CN en; do
  box_root="$work/boxes-$language"
  home="$work/home-$language"
  mkdir -p "$box_root" "$home/.config" "$home/.local/share"
  mkdir -m 0700 "$home/run"
  out="$root/doc/guide/images/$language"
  mkdir -p "$out"
  # The program compares the login uid with its own uid: a root without a
  # login uid (a container) takes login uid 0 for the tool alone.
  env LANGUAGE="$language" LANG=C.UTF-8 LC_ALL=C.UTF-8 HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run" \
    BOX_SERVICE_ROOT="$box_root" NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group" \
    LD_PRELOAD="$nss_wrapper" QT_LOGGING_RULES="qt.qpa.*=false" \
    bash scripts/with-display.sh sh -c '
      if [ "$(cat /proc/self/loginuid)" != "$(id -u)" ]; then echo "$(id -u)" > /proc/self/loginuid; fi
      exec "$0" "$1"' "$shots" "$out"
done
