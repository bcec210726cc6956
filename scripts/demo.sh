#!/usr/bin/env bash
# The main job: builds everything, creates the demo database, starts the application server and
# opens the suite on the cost analysis of the demo branch and month.
set -euo pipefail
cd "$(dirname "$0")/.."
# Said first: without a display there is no point in building for minutes.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && "${QT_QPA_PLATFORM:-}" != offscreen ]]; then
    echo "Não há tela (DISPLAY não definido): nada foi compilado. Para abrir a janela num display virtual:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x800x24' scripts/demo.sh" >&2
    exit 2
fi
scripts/install-deps.sh
scripts/build.sh

db="${DEMO_DB:-build/demo.db}"
[[ -f "$db" ]] || build/bin/demo-db "$db" --scale small --month 2026-03


port="${DEMO_PORT:-8211}"
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "Port $port is taken (another appserver?). Choose another: DEMO_PORT=8300 scripts/demo.sh" >&2
    exit 2
fi
build/bin/appserver --db "$db" --listen "127.0.0.1:$port" > build/appserver.out 2> build/appserver.log &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    grep -q '^listening on' build/appserver.out 2>/dev/null && break
    sleep 0.1
done
grep -q '^listening on' build/appserver.out || { echo "the application server did not start:" >&2; cat build/appserver.log >&2; exit 1; }

# Branch 0001, service 001, cost types 44 (quotes) / 44, reference 16/03/2026, cost branch 0002.
build/bin/suite --db "$db" --server "127.0.0.1:$port" --operator "${USER:-analista}" \
    --open KPV40206 0001 001 44 44 2026-03-16 2026-03-16 0 0002
