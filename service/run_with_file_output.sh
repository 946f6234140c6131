#!/bin/sh
# Runs a test program with its output in a file, then shows the file. A test that
# leaves the device service running would otherwise hand ctest's output pipe to
# it (Wine passes a process's standard error on to the processes it starts), and
# ctest would wait for the service to end.
out=$(mktemp)
"$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
