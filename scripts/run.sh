#!/usr/bin/env bash
# Starts the ledger in the current folder, creating an empty database first
# when the folder has none (the program itself never creates the file).
set -euo pipefail
build_dir=${1:-build}
if [ ! -e Vantorel.mdb ] && [ -x "$build_dir/tools/kestrum-db" ]; then
  "$build_dir/tools/kestrum-db" init Vantorel.mdb
fi
exec "$build_dir/src/app/kestrum"
