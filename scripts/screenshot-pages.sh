#!/usr/bin/env bash
# Pictures of the two entry pages (income and expense) and of the statistics
# page with its charts, filled from a demo ledger, so anyone can check their
# layout, grid, footer totals and charts on a machine without a screen. The
# window is painted offscreen by kestrum-pageshot, built and loaded as at
# start-up.
#
#   scripts/screenshot-pages.sh [BUILD_DIR] [OUTPUT_PREFIX]
#
# BUILD_DIR defaults to "build", OUTPUT_PREFIX to "kestrum-page": the script
# writes OUTPUT_PREFIX-income.png, OUTPUT_PREFIX-expense.png, and
# OUTPUT_PREFIX-statistics.png (1024x700) and -statistics-large.png (a
# maximized window on a 1920x1080 screen).
set -euo pipefail
# shellcheck source=scripts/screenshot-common.sh
source "$(dirname "$0")/screenshot-common.sh"

prefix=$(realpath -m "${2:-kestrum-page}")
shot_prepare "${1:-build}" kestrum-pageshot
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$prefix"
