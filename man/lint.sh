#!/bin/sh
# lint.sh DIR PAGE...: checks each page in DIR with groff (every warning
# on) and, where it is installed, mandoc; any complaint fails.
dir=$1
shift
status=0
command -v groff >/dev/null || { echo "lint.sh: groff is missing (apt-get install groff-base)"; exit 1; }
for page in "$@"; do
  out=$(groff -ww -z -t -man "$dir/$page" 2>&1)
  if [ -n "$out" ]; then
    printf '%s: groff:\n%s\n' "$page" "$out"
    status=1
  fi
  if command -v mandoc >/dev/null; then
    if ! out=$(mandoc -T lint -W warning "$dir/$page" 2>&1) || [ -n "$out" ]; then
      printf '%s: mandoc:\n%s\n' "$page" "$out"
      status=1
    fi
  fi
done
exit $status
