# Sourced: a Wine prefix of our own under the build folder, made fresh when asked.
# Usage: . scripts/wine-env.sh <prefix-dir> [fresh]
export WINEPREFIX="$(realpath -m "$1")"
export WINEDEBUG=-all
# No desktop menu entries on the host for shortcuts the tests install.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine maps non-ASCII Windows file names to Linux ones only in a UTF-8 locale.
export LC_ALL=C.UTF-8
# Wine's Recycle Bin is the XDG trash: one beside the prefix, not the host user's.
export XDG_DATA_HOME="$WINEPREFIX-xdg"
if [ "${2:-}" = fresh ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$XDG_DATA_HOME"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot --init >/dev/null 2>&1
    # Without a window manager every dialog close waits ~2 s unless Wine manages its windows.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Wine does not look in its own font folder: without Marlett the caption buttons show as
    # the letters "0 1 r".
    for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
        if [ -f "/usr/share/wine/fonts/$font" ]; then
            cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
    done
    wineserver -w
fi
mkdir -p "$XDG_DATA_HOME"
