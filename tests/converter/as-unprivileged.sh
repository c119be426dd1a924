#!/usr/bin/env bash
# Runs COMMAND as the unprivileged user nobody when started as root (as CI
# is), so that what a test sees refused is refused to an ordinary user too and
# not only where root's rights differ; as any other user it runs as it is.
#   tests/converter/as-unprivileged.sh COMMAND [ARGS...]
set -euo pipefail
if [[ $(id -u) -ne 0 ]]; then
  exec "$@"
fi
home=$(mktemp -d)
chown nobody "$home"
trap 'rm -rf "$home"' EXIT
HOME=$home TMPDIR=$home setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
