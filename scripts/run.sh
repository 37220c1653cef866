#!/usr/bin/env bash
# Installs what is missing, builds Vaultrane and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target vaultrane
box_root="${BOX_SERVICE_ROOT:-/box}"
if [ ! -d "$box_root" ]; then
  cat >&2 <<EOT
note: the box root $box_root does not exist, so the program will refuse to start.
  An administrator creates it once with:   sudo scripts/setup-box-root.sh
  Without administrator rights, keep your boxes in a folder of your own:
      mkdir -p ~/.local/share/vaultrane-boxes
      BOX_SERVICE_ROOT=~/.local/share/vaultrane-boxes scripts/run.sh
EOT
fi
exec build/vaultrane "$@"
