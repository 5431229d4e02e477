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
# shellcheck source=scripts/screenshot-common.sh
source "$(dirname "$0")/screenshot-common.sh"

prefix=$(realpath -m "${2:-kestrum-filter-dialog}")
shot_prepare "${1:-build}" kestrum-filterdialogshot
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$prefix"
