#!/usr/bin/env bash
# Installs the Debian packages the project builds and runs with. Safe to run again.
set -euo pipefail
packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev libgl-dev
    libsqlite3-dev sqlite3 libpq-dev postgresql
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth poppler-utils
    libxlsxwriter-dev qt6-svg-dev libqt6svg6 python3-openpyxl
    fonts-liberation
    clang libclang-rt-dev
    libssl-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}"
fi
