#!/usr/bin/env bash
# Checks that the manual page's configuration reference names every element
# of the schema's Settings and Log, each as the tag of its own paragraph.
# Usage: man_page_test.sh SCHEMA MANUAL_PAGE
set -euo pipefail
schema=$1 page=$2
status=0
# The element names inside the complex types Settings and Log.
names=$(tr -d '\r' <"$schema" | awk '
  /<xsd:complexType name="(Settings|Log)"/ { inside = 1 }
  inside && /<\/xsd:complexType>/ { inside = 0 }
  inside && match($0, /<xsd:element name="[A-Za-z0-9]+"/) {
    print substr($0, RSTART + 19, RLENGTH - 20)
  }')
[ "$(wc -w <<<"$names")" -ge 40 ] || { echo "FAIL read only these from the schema: $names"; exit 1; }
# The tag lines of the CONFIGURATION section.
tags=$(awk '/^\.SH CONFIGURATION/ { inside = 1; next }
            /^\.SH / { inside = 0 }
            inside && previous == ".TP" { print }
            { previous = $0 }' "$page")
for name in $names; do
  grep -qE "\\\\fB$name\\\\fR" <<<"$tags" || { echo "FAIL $name is not in the manual page"; status=1; }
done
exit $status
