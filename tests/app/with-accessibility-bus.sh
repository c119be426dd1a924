#!/usr/bin/env bash
# Runs a command on a private session bus that carries the accessibility bus, as a
# desktop with a screen reader has it; programs still switch their own side on.
#   tests/app/with-accessibility-bus.sh COMMAND [ARGS...]
set -euo pipefail

if [[ -z "${TOVARO_PRIVATE_BUS:-}" ]]; then
  TOVARO_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
trap 'kill "$launcher" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
  sleep 0.05
done
"$@"
