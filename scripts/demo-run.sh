#!/usr/bin/env bash
# Runs the demo in a Wine prefix of its own (build/demo/wineprefix). Needs a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="$PWD/build/windows"
. scripts/wine-env.sh build/demo/wineprefix fresh
drive_c="$WINEPREFIX/drive_c"
settings='HKCU\Software\VB and VBA Program Settings\Veltrane\Stenvault'

wine "$bin/visio-standin.exe" /RegServer
mkdir -p "$drive_c/Plans" "$drive_c/Backups"
cp "demo/Site plan.vdx" "$drive_c/Plans/"
# The 30-second row, backups into C:\Backups, a new stamped file each time.
wine reg add "$settings" /v OftenIndex /d 1 /f >/dev/null
wine reg add "$settings" /v WhereOption /d 1 /f >/dev/null
wine reg add "$settings" /v Path /d 'C:\Backups' /f >/dev/null
wine reg add "$settings" /v "Backup Option" /d 1 /f >/dev/null

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Stenvault in a Wine desktop of its own, so its notification-area icon has a tray to sit in.
wine explorer /desktop=Stenvault,1024x768 "$bin/visio-standin.exe" 'C:\Plans\Site plan.vdx' &
pids+=($!)
sleep 3
wine explorer /desktop=Stenvault,1024x768 "$bin/stenvault.exe" &
pids+=($!)

echo "Waiting for the first timed backup (30 s)..."
backup=""
for _ in $(seq 1 90); do
    backup=$(find "$drive_c/Backups" -type f -name '*.vsd' | head -n 1)
    [ -n "$backup" ] && break
    sleep 1
done
sleep 1
log="$drive_c/users/$(whoami)/Temp/Stenvault.txt"
shot="$PWD/build/demo/screenshot.png"
rm -f "$shot"
if command -v import >/dev/null; then
    import -window root -crop 1024x768+0+0 "$shot" 2>/dev/null || true
fi
if [ -z "$backup" ]; then
    echo "No backup appeared in C:\\Backups." >&2
    exit 1
fi
echo
echo "Backup file: $(wine winepath -w "$backup" 2>/dev/null | tr -d '\r')"
echo "  (on this machine: $backup, $(stat -c %s "$backup") bytes)"
echo
echo "History log ($(wine winepath -w "$log" 2>/dev/null | tr -d '\r')):"
iconv -f CP1252 -t UTF-8 "$log"
echo
if [ -f "$shot" ]; then
    echo "Screenshot: build/demo/screenshot.png"
fi
