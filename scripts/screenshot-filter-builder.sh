#!/usr/bin/env bash
# A picture of the filter builder dialog over a demo ledger's income fields,
# holding a condition and a group of further conditions, so anyone can check
# its rows, words and buttons on a machine without a screen. The dialog is
# painted offscreen by kestrum-filtershot.
#
#   scripts/screenshot-filter-builder.sh [BUILD_DIR] [OUTPUT]
#
# BUILD_DIR defaults to "build", OUTPUT to "kestrum-filter-builder.png".
set -euo pipefail

build_dir=$(realpath "${1:-build}")
output=$(realpath -m "${2:-kestrum-filter-builder.png}")
shooter="$build_dir/src/app/kestrum-filtershot"
dbtool="$build_dir/tools/kestrum-db"
for file in "$shooter" "$dbtool"; do
  [ -x "$file" ] || { echo "missing $file: build first (make build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dbtool" demo "$work/Vantorel.mdb" > /dev/null
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$output"
