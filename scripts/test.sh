#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, and runs every test: on SQLite always, and on PostgreSQL as
# well when COSTANALYSIS_PG_URI names a server the tests may create and drop databases on.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
if [[ -n "${COSTANALYSIS_PG_URI:-}" ]]; then
    backends="sqlite, postgresql"
else
    backends="sqlite (PostgreSQL skipped: COSTANALYSIS_PG_URI is not set)"
fi
echo "test.sh: back ends under test: $backends"
status=0
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@" || status=$?
echo "test.sh: back ends tested: $backends; ctest exit status $status"
exit "$status"
