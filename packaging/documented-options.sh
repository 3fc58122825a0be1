#!/bin/sh
# documented-options.sh PROGRAM FILE...: every option PROGRAM --help names
# (--word) is named in each FILE too (a man page, where roff writes a dash
# as \-, or a completion script). Prints the ones missing; exit status 1
# when there are any.
set -eu
program=$1
shift
options=$("$program" --help | grep -o -- '--[a-z][a-z-]*[a-z]' | sort -u)
[ -n "$options" ] || { echo "$program --help names no options" >&2; exit 1; }
missing=0
for file in "$@"; do
  text=$(sed 's/\\-/-/g' "$file")
  for option in $options; do
    if ! printf '%s\n' "$text" | grep -q -- "$option\([^a-z-]\|$\)"; then
      echo "$file does not name $option" >&2
      missing=1
    fi
  done
done
exit $missing
