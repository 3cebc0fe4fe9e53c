#!/bin/sh
# libKestrun.so must export its entry `ostrel`, a function, and nothing else.
set -eu
library=$1
exports=$(nm -D --defined-only "$library" | awk '{ print $2 " " $3 }')
if [ "$exports" != "T ostrel" ]; then
  echo "libKestrun.so exports, besides or instead of the function ostrel:" >&2
  echo "$exports" >&2
  exit 1
fi
