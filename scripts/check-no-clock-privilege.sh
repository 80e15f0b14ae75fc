#!/usr/bin/env bash
# Fails unless process PID can never gain CAP_SYS_TIME (bit 25): the bit must
# be clear in its bounding, permitted and effective sets.
set -euo pipefail
pid=$1
status=/proc/$pid/status
[[ -r $status ]] || { echo "no process $pid" >&2; exit 1; }
for set in CapBnd CapPrm CapEff; do
  mask=$(awk -v key="$set:" '$1 == key {print $2}' "$status")
  if (( (16#$mask >> 25) & 1 )); then
    echo "process $pid still holds CAP_SYS_TIME in $set ($mask): refusing to go on" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
done
echo "check: process $pid cannot set the clock (CAP_SYS_TIME absent)"
