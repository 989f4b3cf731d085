#!/usr/bin/env bash
# Runs a Windows program under wine64 in the project's environment; the exit
# code is the program's. CTest uses it as the emulator of the test programs.
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
exec "$VK_WINE" "$@"
