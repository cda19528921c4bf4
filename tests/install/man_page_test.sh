#!/usr/bin/env bash
# Every option the converter's --help lists has an entry of its own in the
# OPTIONS section of its manual.
# Usage: man_page_test.sh CLI MAN_PAGE
set -euo pipefail
cli=${1:?converter}
page=${2:?manual}

# The tags of the manual's options (the line after each .TP), as plain text.
tags=$(awk '/^\.SH OPTIONS/ { in_options = 1; next } /^\.SH/ { in_options = 0 }
            in_options && tag { print; tag = 0 } in_options && /^\.TP/ { tag = 1 }' "$page" |
       sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.[A-Z]* //' -e 's/"//g')
# The options of the help text: the "-x" words that start its indented lines.
options=$("$cli" --help | grep -E '^  -' | sed -E 's/^  //; s/  .*//' | tr ',' '\n' |
          awk '{ print $1 }' | grep -E '^-')
[ -n "$options" ] || { echo "FAIL: no options in $cli --help" >&2; exit 1; }
missing=0
for option in $options; do
  if ! grep -qE -- "(^|[ ,])$option($|[ ,])" <<<"$tags"; then
    echo "FAIL: $option of --help has no entry in $page" >&2
    missing=1
  fi
done
exit $missing
