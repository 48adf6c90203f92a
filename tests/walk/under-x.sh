#!/bin/sh
# Runs a test program on a private X server with a window manager, so that windows are placed,
# focused and closed as on a desktop: under-x.sh PROGRAM [ARGS...]
set -eu
for tool in xvfb-run openbox xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is missing: run scripts/deps.sh" >&2
    exit 1
  fi
done
exec xvfb-run -a -s '-screen 0 1600x1000x24' sh -c '
  ready=$(mktemp -u)
  openbox --startup "touch $ready" >/dev/null 2>&1 &
  wm=$!
  i=0
  while [ ! -e "$ready" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
  rm -f "$ready"
  status=0
  QT_QPA_PLATFORM=xcb "$@" || status=$?
  kill $wm 2>/dev/null || true
  exit $status
' sh "$@"
