#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Qt test program under Wine and prints its report: a Windows Qt program writes its
# output to the debugger channel unless told to write a file. Wine's own complaints about
# the Linux root drive are dropped.
set -uo pipefail
program=$1
shift
report=$(mktemp)
wine "$program" -o "$report,txt" "$@" 2> >(grep -v -e "FS volume label and serial" -e "^$" >&2)
status=$?
cat "$report"
rm -f "$report"
exit $status
