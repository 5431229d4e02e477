#!/usr/bin/env bash
# Takes a screenshot of the ledger's main window under a virtual X display
# (xvfb-run) and writes it as a PNG, so anyone can check how the window and
# its Chinese captions look on a machine without a screen.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png]
#
# BUILD_DIR defaults to "build", OUTPUT to "kestrum-screenshot.png". The
# virtual display has no window manager, so the window shows at its restored
# size rather than maximized. The program runs in a temporary folder on a demo
# ledger made by kestrum-db; a stand-in xdg-open answers the web page the
# window opens at start, so no failure box covers the picture.
# Needs xvfb-run (package xvfb) and xauth; builds a tiny grabber with Qt.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
output=$(realpath -m "${2:-kestrum-screenshot.png}")
program="$build_dir/src/app/kestrum"
dbtool="$build_dir/tools/kestrum-db"
for file in "$program" "$dbtool"; do
  [ -x "$file" ] || { echo "missing $file: build first (make build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A grabber that saves the whole virtual screen.
cat > "$work/grab.cpp" <<'CPP'
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    return app.primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC "$work/grab.cpp" -o "$work/grab" $(pkg-config --cflags --libs Qt6Gui)

mkdir -p "$work/bin" "$work/ledger"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
"$dbtool" demo "$work/ledger/Vantorel.mdb" > /dev/null

cat > "$work/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
cd "$work/ledger"
PATH="$work/bin:\$PATH" QT_QPA_PLATFORM=xcb "$program" &
pid=\$!
sleep 3
"$work/grab" "$output"
status=\$?
kill "\$pid" 2> /dev/null
wait "\$pid" 2> /dev/null
exit \$status
SESSION
chmod +x "$work/session.sh"

xvfb-run --auto-servernum --server-args="-screen 0 1024x700x24 -dpi 96" "$work/session.sh"
echo "screenshot written to $output"
