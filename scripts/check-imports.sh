#!/bin/bash
# Fails unless the executable imports from Windows' own DLLs alone.
set -eu
objdump=$1 exe=$2
allowed='^(KERNEL32|USER32|ADVAPI32|GDI32|msvcrt)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
bad=$(grep -viE "$allowed" <<<"$dlls" || true)
if [ -n "$bad" ]; then
  echo "$exe imports from: $bad"
  exit 1
fi
echo "$(basename "$exe") imports only from:" $dlls
