#!/bin/sh
# Only platform/ knows CUPS: no file outside it includes a CUPS header
# (<cups/...>) or a header of the platform's implementations (platform/cups,
# platform/pages) other than their public ones. The platform's own tests and
# the fuzz target of the CUPS layer's parser are its parts, seen from outside.
#   check-includes.sh SOURCE_ROOT
set -eu
root=$1
cd "$root"

# Public headers of the implementations: the factory of the CUPS spooler and
# the page counter.
public='CupsSpooler.h PageCount.h'
inner=$(for f in platform/cups/*.h platform/pages/*.h; do
  name=${f##*/}
  case " $public " in *" $name "*) ;; *) printf '%s\n' "$name" ;; esac
done)

sources=$(git ls-files -co --exclude-standard -- '*.h' '*.hpp' '*.cpp' '*.cc' '*.c' '*.in' 2>/dev/null ||
  find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.in' \) | sed 's|^\./||')

status=0
for file in $sources; do
  case $file in
    platform/* | tests/platform/* | fuzz/CupsJobFieldsFuzz.cpp | build*/*) continue ;;
  esac
  [ -f "$file" ] || continue
  if grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]cups/' "$file"; then
    status=1
  fi
  for name in $inner; do
    if grep -Hn "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]\([^\">]*/\)\{0,1\}$name[\">]" "$file"; then
      status=1
    fi
  done
done
if [ "$status" != 0 ]; then
  echo "check-includes: the files above reach CUPS or the platform's insides; go through Spooler.h," >&2
  echo "CupsSpooler.h or PageCount.h instead" >&2
fi
exit $status
