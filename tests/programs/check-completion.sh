#!/usr/bin/env bash
# The bash completion of vaultrane-box completes box names, and puts "--"
# before a name that begins with "-" unless the line has one already.
#
#   check-completion.sh COMPLETION_SCRIPT
set -uo pipefail
source "$1"
status=0

# The boxes the completion asks vaultrane-box for.
vaultrane-box() { [ "$1 $2" = "list --names" ] && printf '%s\n' papers -draft 'two words'; }

# Completes the words given, the last one being typed, and prints the replies.
complete_line() {
  COMP_WORDS=(vaultrane-box "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vaultrane_box
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}"
}

expect() {
  local want=$1
  shift
  local got
  got=$(complete_line "$@" | sort | tr '\n' '|')
  [ "$got" = "$want" ] || { echo "FAIL: '$*' completed to '$got', expected '$want'"; status=1; }
}

expect '-- -draft|papers|two\ words|' mount ''
expect '-- -draft|' mount -d
expect '-draft|' mount -- -d
expect 'papers|' share pa
expect '' share papers -- -d   # the second operand of share is a user
exit $status
