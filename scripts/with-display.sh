#!/usr/bin/env bash
# Runs a command with a display: the one we have, or a private Xvfb screen.
if [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
