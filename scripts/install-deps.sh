#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its benchmarks need.
# Runs apt-get only when something is missing, so repeated runs cost nothing.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
  libxlsxwriter-dev zlib1g-dev libminizip-dev libfreexl-dev
  postgresql
  libqt6sql6-odbc unixodbc tdsodbc
  odbc-postgresql libsqliteodbc
  python3-xlwt  # the benchmark's .xls chart
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "A instalar: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "Sem sudo: corra como root \"apt-get update && apt-get install -y --no-install-recommends ${missing[*]}\" e volte a correr este comando." >&2
    exit 1
  fi
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
