#!/bin/sh
# Checks the manual pages given as arguments: groff finds nothing to warn
# about, and each page names every other one under SEE ALSO.
# Usage: check-manual-pages.sh GROFF PAGE.1...
set -u
groff=$1
shift
status=0
for page in "$@"; do
    name=$(basename "$page" .1)
    if "$groff" -man -ww -z -Tutf8 "$page" 2>&1 | grep .; then
        echo "$name(1): groff warns (above)"
        status=1
    fi
    see_also=$(sed -n '/^\.SH SEE ALSO/,$p' "$page" | sed 's/\\-/-/g')
    for other in "$@"; do
        other=$(basename "$other" .1)
        [ "$other" = "$name" ] && continue
        if ! printf '%s\n' "$see_also" | grep -qF ".BR $other (1)"; then
            echo "$name(1) does not name $other(1) under SEE ALSO"
            status=1
        fi
    done
done
exit $status
