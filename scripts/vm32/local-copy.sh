#!/bin/sh
# Runs a command in the 32-bit test machine with a build folder copied onto
# the guest's own disk and mounted over the shared one, then copies back
# what the command wrote (its logs, screenshots and Wine output).
#
#   scripts/vm32/local-copy.sh BUILD_DIR COMMAND [ARG...]
#
# Wine in the guest does not load every program it is given through the
# shared folder: the 4.6 MB Windows test program, loaded from there, died at
# its first call into the C runtime on every try, and ran from a copy.
# The copy, like the test's Wine prefix, goes on the guest's disk rather
# than its /tmp: Wine keeps the hidden and system bits of a file in
# extended attributes, which the guest kernel's tmpfs does not hold.
set -eu
build=$1
shift
local_copy=$(mktemp -d /var/tmp/tavrel-build.XXXXXX)
cp -a "$build/." "$local_copy/"
mount --bind "$local_copy" "$build"
status=0
"$@" || status=$?
# A process the tests left behind may still hold a file there.
umount "$build" 2>/dev/null || umount -l "$build"
# Only what is new or newer: the programs themselves stay as they were.
cp -a -u "$local_copy/." "$build/"
rm -rf "$local_copy"
exit $status
