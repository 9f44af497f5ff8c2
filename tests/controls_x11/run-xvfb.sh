#!/bin/sh
# Runs a test program on a virtual X server of its own (xvfb-run -a picks a free display,
# so several runs may go side by side). Without xvfb-run the program still runs, and its
# tests skip, saying why.
if command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
fi
TARNWICK_NO_XVFB=1 exec "$@"
