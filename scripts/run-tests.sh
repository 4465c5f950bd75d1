#!/usr/bin/env bash
# Runs the tests of an already built tree (VELMORA_BUILD, default build/<arch>) in one
# Wine session: private Xvfb, one wine server, everything stopped afterwards.
# Arguments go to ctest (for example -R Registry).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
velmora_session_start
trap velmora_session_stop EXIT
cd "$VELMORA_BUILD"
ctest --output-on-failure -j2 "$@"
