# Sourced by the offscreen screenshot scripts: the checks and the demo ledger
# they all start from.
#
#   source "$(dirname "$0")/screenshot-common.sh"
#   shot_prepare BUILD_DIR SHOOTER
#
# Sets build_dir (absolute), shooter (BUILD_DIR/tools/shots/SHOOTER) and work, a
# temporary folder removed on exit that holds a demo ledger Vantorel.mdb made
# by kestrum-db. Stops the script when either program is not built yet.

shot_prepare() {
  build_dir=$(realpath "$1")
  shooter="$build_dir/tools/shots/$2"
  dbtool="$build_dir/tools/kestrum-db"
  local file
  for file in "$shooter" "$dbtool"; do
    [ -x "$file" ] || { echo "missing $file: build first (make build)" >&2; exit 1; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  "$dbtool" demo "$work/Vantorel.mdb" > /dev/null
}
