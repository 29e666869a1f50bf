#!/usr/bin/env bash
# The pictures the README shows, taken on a virtual X server with a window
# manager (so that windows have their title bars), written to docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/screenshots
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" bash -c '
  openbox --sm-disable >/dev/null 2>&1 &
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
  QUILLON_BIN_DIR=$PWD/build/bin build/tests/heraldo_screenshots "'"$out"'"
  QUILLON_BIN_DIR=$PWD/build/bin build/tests/monitor_screenshots "'"$out"'"
'
# The metrics ports' status pages, as a browser shows them.
/usr/bin/python3 scripts/status_page_screenshots.py "$out"
