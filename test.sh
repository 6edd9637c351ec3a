#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/check-format.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
cd build
# The server tests (label "server") need a PostgreSQL server: pg_virtualenv
# starts a throw-away cluster for the run and removes it afterwards. Run by
# root it has one fixed cluster name, so two runs on one machine take turns.
if command -v pg_virtualenv >/dev/null 2>&1; then
  exec flock /tmp/kestrune-pg_virtualenv.lock \
    pg_virtualenv -- env QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
fi
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
