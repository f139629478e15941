#!/bin/sh
# Runs a Windows program under Wine, quietly.
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
