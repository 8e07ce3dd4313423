#!/usr/bin/env bash
# Sets up, builds and starts Stowaway (under xvfb-run when there is no display).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build RelWithDebInfo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a build/program/stowaway "$@"
fi
exec build/program/stowaway "$@"
