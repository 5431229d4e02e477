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
# shellcheck source=scripts/screenshot-common.sh
source "$(dirname "$0")/screenshot-common.sh"

output=$(realpath -m "${2:-kestrum-filter-builder.png}")
shot_prepare "${1:-build}" kestrum-filtershot
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$output"
