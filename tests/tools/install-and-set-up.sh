#!/usr/bin/env bash
# Installs the build into a temporary prefix, sets it up with ostrel-setup
# (twice: it must be safe to run again) and runs the installed host, which
# must find its library in the installed layout and record a job of a
# private scheduler into a tree that accounts outside the group cannot
# read. Last, a tree with the modes of older versions is set up again and
# closed. Needs root, as ostrel-setup does.
set -euo pipefail
build=$1
source=$2
((EUID == 0)) || { echo "skipped: ostrel-setup needs root"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-install.XXXXXX")
# Other accounts may pass through to the application folder, as through
# /var/lib: what they may read there is for its modes to say.
chmod 0711 "$work"
host=
cleanup() {
  [[ -n $host ]] && kill -KILL "$host" 2>/dev/null || true
  "$source/scripts/private-cupsd" stop "$work/cups" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# Every file and folder of the application folder but the registry store.
listing() { find "$app" -path "$app/registry" -prune -o -printf '%M %u:%g %m %P\n' | sort -k4; }
# Folders 2770, every file 0660 but the journal, which may be root's alone;
# links as they are.
check_modes() {
  local bad
  bad=$(find "$app" -path "$app/registry" -prune -o \( -type d ! -perm 2770 -o \
    -type f ! -perm 0660 ! \( -name Kestrun.journal -perm 0600 \) \) -print)
  [[ -z $bad ]] || fail "$1: wrong modes: $bad"$'\n'"$(listing)"
}
# Runs a command as nobody, in the group of the files or outside it.
as_member() { setpriv --reuid=nobody --regid=0 --clear-groups "$@"; }
as_outsider() { setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups "$@"; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
export OSTREL_REGISTRY_ROOT="$work/registry"
prefix=$work/prefix
app=$work/app
reg() { "$prefix/bin/ostrel-reg" "$@"; }
value() { reg query 'HKLM\Software\Ostrel' /v "$1" | awk -v name="$1" '$1 == name { print $3 }'; }

"$prefix/sbin/ostrel-setup" --app-folder "$app" --group root --no-service >/dev/null
for file in settings.xml Logs/printers.xsl Logs/users.xsl Logs/style.xsl Logs/TestEmail.xml Ostrel.qch Ostrel.qhc; do
  [[ -s $app/$file ]] || fail "$file was not installed"
done
for file in bin/Quillmere share/applications/Quillmere.desktop share/icons/hicolor/48x48/apps/quillmere.png \
  share/ostrel/autostart/Quillmere.desktop; do
  [[ -s $prefix/$file ]] || fail "$file was not installed"
done
[[ $(readlink "$app/Relayer") == "$(cd "$prefix/bin" && pwd)/Relayer" ]] || fail "Relayer is not linked"
check_modes "a fresh install"
[[ $(value AppPath) == "$app" ]] || fail "AppPath is $(value AppPath)"
[[ $(value DeleteOldLogs) == 0x0 ]] || fail "DeleteOldLogs has no default"
server_id=$(value ServerId)
[[ $server_id =~ ^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$ ]] || fail "ServerId is '$server_id'"

# A second run keeps what the administrator and the system changed.
echo '<log><printers><name>Kept</name></printers></log>' >"$app/settings.xml"
reg add 'HKLM\Software\Ostrel' /v DeleteOldLogs /t REG_DWORD /d 1 /f >/dev/null
"$prefix/sbin/ostrel-setup" --app-folder "$app" --group root --no-service >/dev/null
grep -q Kept "$app/settings.xml" || fail "settings.xml was overwritten"
[[ $(value DeleteOldLogs) == 0x1 ]] || fail "DeleteOldLogs was reset"
[[ $(value ServerId) == "$server_id" ]] || fail "ServerId changed"

# The installed host loads the installed library and switches monitoring
# on; under a umask that would open its files to all, it records a job.
mkdir "$work/cups"
server=$(PRIVATE_CUPSD_OWNER=$$ "$source/scripts/private-cupsd" start "$work/cups" --raw Raw | sed -n 's/^CUPS_SERVER=//p')
echo '<log><printers><name>Raw</name><ID>1</ID><cost>5</cost><monitored>1</monitored></printers></log>' \
  >"$app/settings.xml"
reg add 'HKLM\Software\Ostrel' /v AppRuns /t REG_DWORD /d 0 /f >/dev/null
(umask 000 && CUPS_SERVER=$server exec "$prefix/sbin/kestrun-host") 2>"$work/host.err" &
host=$!
for ((i = 0; i < 100; i++)); do
  [[ $(value AppRuns) == 0x1 ]] && break
  sleep 0.1
done
[[ $(value AppRuns) == 0x1 ]] || fail "the installed host did not run: $(cat "$work/host.err")"
year=$app/Logs/y_$(date +%Y).xml
echo "a report nobody else may read" >"$work/job.txt"
# Printed until one is recorded: only then is the printer surely watched.
for ((i = 0; i < 300; i++)); do
  ((i % 50)) || lp -h "$server" -d Raw -t "Salary review" "$work/job.txt" >/dev/null
  grep -qs '<doc>Salary review</doc>' "$year" && break
  sleep 0.1
done
grep -qs '<doc>Salary review</doc>' "$year" || fail "no job was recorded: $(cat "$work/host.err")"
check_modes "files the monitor made"
records=("$app"/Logs/*_*.xml "$app"/Logs/Users/*/*.xml "$app"/Logs/Printers/Printer_1/*.xml)
((${#records[@]} == 18)) || fail "${#records[@]} period files: ${records[*]}"
for file in "${records[@]}" "$app/settings.xml" "$app/Kestrun.journal"; do
  ! as_outsider cat "$file" >/dev/null 2>&1 || fail "an account outside the group read $file"
done
for file in "${records[@]}" "$app/settings.xml"; do
  as_member cat "$file" >/dev/null || fail "a member of the group cannot read $file"
done
echo "After a fresh install and a recorded job:"
listing
kill -TERM "$host"
status=0
wait "$host" || status=$?
host=
((status == 0)) || fail "the installed host ended with $status: $(cat "$work/host.err")"

# The modes an older version left: an upgrade closes them, and says so once.
find "$app" -path "$app/registry" -prune -o -type d -exec chmod 2775 {} + -o -type f -exec chmod 0664 {} +
"$prefix/sbin/ostrel-setup" --app-folder "$app" --group root --no-service >"$work/upgrade.out"
[[ $(grep -c 'could be read by every account' "$work/upgrade.out") == 1 ]] ||
  fail "the upgrade did not say it closed the tree: $(cat "$work/upgrade.out")"
check_modes "an upgrade"
"$prefix/sbin/ostrel-setup" --app-folder "$app" --group root --no-service >"$work/again.out"
! grep -q 'every account' "$work/again.out" || fail "a closed tree was reported as open"
echo "After an upgrade from the old modes, which said:"
cat "$work/upgrade.out"
listing
echo "installed, set up twice, recorded a job for the group alone, upgraded"
