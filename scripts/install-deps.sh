#!/usr/bin/env bash
# Installs everything needed to build, run and test Vaultrane on Debian 12.
set -euo pipefail
pkgs=(
  build-essential cmake pkg-config ccache python3
  qtbase5-dev qtbase5-dev-tools qttranslations5-l10n qttools5-dev qttools5-dev-tools qtwayland5
  libacl1-dev acl libaudit-dev
  gocryptfs fuse3
  libnss-wrapper dbus xvfb xauth openbox xdotool x11-utils
  fonts-wqy-microhei
  librsvg2-bin util-linux passwd
  qtwayland5
  # the Debian package and its checks (scripts/package.sh, scripts/package-test.sh)
  dpkg-dev fakeroot file lintian desktop-file-utils appstream xdotool x11-utils
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      cat >&2 <<EOT
These Debian packages are missing: ${missing[*]}
Installing them needs administrator rights, and this account is not root and
has no sudo. Either
  - run, as root (for example after 'su -'):
      apt-get update && apt-get install -y --no-install-recommends ${missing[*]}
    then run this command again; or
  - ask an administrator to do so.
Once the packages are installed, building and running need no administrator
rights; boxes can live in a folder of your own (BOX_SERVICE_ROOT, see README.md).
EOT
      exit 1
    fi
    SUDO=sudo
  fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
