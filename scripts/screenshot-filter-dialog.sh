#!/usr/bin/env bash
# Pictures of the custom filter dialog opened for the item column of the
# income page, over a demo ledger, so anyone can check its layout and texts
# on a machine without a screen. kestrum-filterdialogshot builds the window
# as at start-up, opens the dialog, fills in two conditions and applies them.
#
#   scripts/screenshot-filter-dialog.sh [BUILD_DIR] [OUTPUT_PREFIX]
#
# BUILD_DIR defaults to "build", OUTPUT_PREFIX to "kestrum-filter-dialog": the
# script writes OUTPUT_PREFIX-opened.png, -filled.png, -over-grid.png and
# -filtered.png and -date.png.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
prefix=$(realpath -m "${2:-kestrum-filter-dialog}")
shooter="$build_dir/src/app/kestrum-filterdialogshot"
dbtool="$build_dir/tools/kestrum-db"
for file in "$shooter" "$dbtool"; do
  [ -x "$file" ] || { echo "missing $file: build first (make build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dbtool" demo "$work/Vantorel.mdb" > /dev/null
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$prefix"
