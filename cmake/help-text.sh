#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints a program's --help (or --version) text for help2man, whatever the exit code: the
# simulator ends its usage text with exit 2. The window program gets an offscreen display, so
# the man pages build on a machine without one.
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$@" 2>&1
exit 0
