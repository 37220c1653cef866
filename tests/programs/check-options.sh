#!/usr/bin/env bash
# The three programs answer their common options alike: -v and --version
# print "<program> <version>", all speak the language of one rule (English
# in the C locale, Chinese where Chinese is asked for), and vaultrane refuses
# an unknown option with status 1 with or without a display.
#
#   check-options.sh VERSION VAULTRANE VAULTRANE_BOX VAULTRANE_AGENT
set -uo pipefail
version=$1
shift
status=0
fail() { echo "FAIL: $*"; status=1; }
has_chinese() { grep -qP '[\x{4e00}-\x{9fff}]'; }

# No display anywhere: nothing here may need one.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE -u LC_MESSAGES "$@"; }

for program in "$@"; do
  name=$(basename "$program")
  for option in -v --version; do
    out=$(run LC_ALL=C.UTF-8 "$program" "$option" 2>&1)
    [ "$out" = "$name $version" ] || fail "$name $option printed '$out'"
  done
  run LC_ALL=C LANG=C "$program" --help 2>&1 | has_chinese && fail "$name --help speaks Chinese with LANG=C"
  run LC_ALL=C.UTF-8 LANGUAGE=zh_CN "$program" --help 2>&1 | has_chinese || fail "$name --help ignores a Chinese LANGUAGE"
done

vaultrane=$1
run LC_ALL=C "$vaultrane" --bogus >/dev/null 2>&1
code=$?
[ "$code" = 1 ] || fail "vaultrane --bogus without a display ended with $code"
exit $status
