#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL and runs every test
# on SQLite and on PostgreSQL. A PostgreSQL that cannot be started fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
# shellcheck source=scripts/pg-temp.sh
source scripts/pg-temp.sh
export MOLVAR_REQUIRE_PG=1
ctest --test-dir build --output-on-failure -j"${CTEST_PARALLEL_LEVEL:-$(nproc)}" "$@"
