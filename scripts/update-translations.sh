#!/usr/bin/env bash
# Gathers the texts of the program's sources into the English catalogue
# translations/vaultrane_en.ts, keeping the translations made so far and
# dropping texts that are gone. Translate new entries with Qt Linguist
# (linguist translations/vaultrane_en.ts) or in the file itself.
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt5/bin/lupdate)}
dirs=()
for d in app boxservice core mainwindow views dialogs widgets cli agent; do
  [ -d "$d" ] && dirs+=("$d")
done
"$LUPDATE" -locations none -no-obsolete -source-language zh_CN -target-language en \
  "${dirs[@]}" -ts translations/vaultrane_en.ts
