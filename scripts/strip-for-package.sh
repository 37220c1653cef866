#!/bin/sh
# The strip that scripts/package.sh gives cmake: like Debian's dh_strip, it
# also drops the .comment and .note sections, which an installed binary
# does not need.
exec strip --remove-section=.comment --remove-section=.note "$@"
