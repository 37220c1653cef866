#!/usr/bin/env bash
# Installs everything needed to build, run and test Vaultrane on Debian 12.
set -euo pipefail
pkgs=(
  build-essential cmake pkg-config ccache
  qtbase5-dev qtbase5-dev-tools qttranslations5-l10n
  libacl1-dev acl libaudit-dev
  gocryptfs fuse3
  libnss-wrapper dbus xvfb xauth openbox xdotool x11-utils
  fonts-wqy-microhei
  librsvg2-bin util-linux passwd
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
