#!/bin/sh
# Only platform/ knows CUPS and libpq: no file outside it includes a CUPS header
# (<cups/...>, <libpq-fe.h>) or a header of the platform's implementations
# (platform/cups, platform/pages, platform/pq) other than their public ones. The platform's own tests and
# the fuzz target of the CUPS layer's parser are its parts, seen from outside.
#   check-includes.sh SOURCE_ROOT
set -eu
root=$1
cd "$root"

# Public headers of the implementations: the factories of the CUPS spooler
# and the PostgreSQL sessions, and the page counter.
public='CupsSpooler.h PageCount.h PqDatabase.h'
inner=$(for f in platform/cups/*.h platform/pages/*.h platform/pq/*.h; do
  name=${f##*/}
  case " $public " in *" $name "*) ;; *) printf '%s\n' "$name" ;; esac
done)

sources=$(git ls-files -co --exclude-standard -- '*.h' '*.hpp' '*.cpp' '*.cc' '*.c' '*.in' 2>/dev/null ||
  find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.in' \) | sed 's|^\./||')

# One pattern for both: a CUPS header, or an inner header by its name.
names=$(printf '%s\n' $inner | sed 's/\./\\./g' | paste -sd '|' -)
pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*(<cups/|<libpq|[<\"]([^\">]*/)?($names)[\">])"

checked=$(for file in $(printf '%s\n' $sources |
  grep -Ev '^(platform/|tests/platform/|fuzz/CupsJobFieldsFuzz\.cpp$|build)'); do
  if [ -f "$file" ]; then printf '%s\n' "$file"; fi
done)
status=0
if [ -n "$checked" ] && printf '%s\n' $checked | xargs grep -HnE "$pattern" 2>/dev/null; then
  status=1
fi
if [ "$status" != 0 ]; then
  echo "check-includes: the files above reach CUPS or the platform's insides; go through Spooler.h," >&2
  echo "CupsSpooler.h, PageCount.h or PqDatabase.h instead" >&2
fi
exit $status
