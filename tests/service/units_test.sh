#!/usr/bin/env bash
# Checks the service units with systemd-analyze: `verify` must pass without a
# single message and the hardening must keep its exposure level at 2.0 or
# lower. The units run /usr/bin/zelvo, which need not exist here, so copies
# run the built program instead; the manual page they name is the built one.
# Usage: units_test.sh PACKAGING_DIR BUILT_MANPAGE ZELVO_BINARY
set -euo pipefail
packaging=$1 manpage=$2 binary=$3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/man/man1"
gzip -9nc "$manpage" >"$tmp/man/man1/zelvo.1.gz"

status=0
for unit in zelvo.service zelvo@.service; do
  grep -q '^ExecStart=/usr/bin/zelvo ' "$packaging/$unit" || {
    echo "FAIL $unit: ExecStart does not run /usr/bin/zelvo"
    status=1
  }
  sed "s|^ExecStart=/usr/bin/zelvo |ExecStart=$binary |" "$packaging/$unit" >"$tmp/$unit"
  if ! messages=$(MANPATH="$tmp/man" systemd-analyze verify "$tmp/$unit" 2>&1) || [ -n "$messages" ]; then
    echo "FAIL $unit: systemd-analyze verify says:"
    echo "$messages"
    status=1
  fi
  if ! systemd-analyze security --offline=true --threshold=20 "$tmp/$unit" >"$tmp/security" 2>&1; then
    echo "FAIL $unit: exposure level above 2.0:"
    tail -n 1 "$tmp/security"
    status=1
  fi
  echo "$unit: $(tail -n 1 "$tmp/security")"
done
exit $status
