#!/usr/bin/env bash
# Installs the build into a temporary prefix, sets it up with ostrel-setup
# (twice: it must be safe to run again) and runs the installed host, which
# must find its library in the installed layout.
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-install.XXXXXX")
host=
cleanup() {
  [[ -n $host ]] && kill -KILL "$host" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

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
[[ $(stat -c %a "$app/Logs") == 2775 ]] || fail "Logs is not a shared setgid folder"
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

# The installed host loads the installed library and switches monitoring on.
reg add 'HKLM\Software\Ostrel' /v AppRuns /t REG_DWORD /d 0 /f >/dev/null
"$prefix/sbin/kestrun-host" 2>"$work/host.err" &
host=$!
for ((i = 0; i < 100; i++)); do
  [[ $(value AppRuns) == 0x1 ]] && break
  sleep 0.1
done
[[ $(value AppRuns) == 0x1 ]] || fail "the installed host did not run: $(cat "$work/host.err")"
kill -TERM "$host"
status=0
wait "$host" || status=$?
host=
((status == 0)) || fail "the installed host ended with $status: $(cat "$work/host.err")"
echo "installed, set up twice, host ran"
