#!/usr/bin/env bash
# Builds the Debian package from the build folder into a temporary folder,
# checks its contents and dependencies, unpacks it into a temporary root and
# runs the packaged kestrum-db from there.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build_dir" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
shopt -s nullglob
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb, found ${#debs[@]}"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/kestrum ./usr/bin/kestrum-db \
            ./usr/share/applications/kestrum.desktop \
            ./usr/share/icons/hicolor/scalable/apps/kestrum.svg \
            ./usr/share/man/man1/kestrum-db.1.gz ./usr/share/man/man1/kestrum.1.gz; do
  grep -q " $path\$" <<<"$contents" || fail "$path is not in the package"
done
# Nothing of the build (tests, benchmarks, screenshot tools) comes along.
extra=$(grep -E '\./usr/bin/.' <<<"$contents" | grep -v -E ' \./usr/bin/(kestrum|kestrum-db)$' || true)
[ -z "$extra" ] || fail "unexpected programs in the package: $extra"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6charts6 libsqlite3-0 libmdb3; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg -x "$deb" "$work/root"
grep -q '^Categories=Office;Finance;$' "$work/root/usr/share/applications/kestrum.desktop" ||
  fail "the desktop entry lacks its categories"
grep -q '^Exec=kestrum %f$' "$work/root/usr/share/applications/kestrum.desktop" ||
  fail "the desktop entry does not hand a file to kestrum"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/kestrum.desktop" ||
    fail "the desktop entry is not valid"
fi
zcat "$work/root/usr/share/man/man1/kestrum-db.1.gz" | grep -q '^\.TH KESTRUM-DB 1' ||
  fail "the kestrum-db man page is not a section 1 page"

status=0
help=$("$work/root/usr/bin/kestrum-db" --help 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "kestrum-db --help exited with $status: $help"
for command in init demo check import export; do
  grep -q "kestrum-db $command" <<<"$help" || fail "kestrum-db --help does not name '$command': $help"
done
# Every command the program knows has its place in the man page.
manual=$(zcat "$work/root/usr/share/man/man1/kestrum-db.1.gz")
for command in $(grep -o -E '^  kestrum-db [a-z]+' <<<"$help" | awk '{print $2}'); do
  grep -q -E '^(\\fB|\.BI? )'"$command" <<<"$manual" || fail "the man page lacks the command '$command'"
done

# The packaged command works on its own: it makes and checks a ledger.
(cd "$work" && "$work/root/usr/bin/kestrum-db" init ledger.mdb >/dev/null &&
   "$work/root/usr/bin/kestrum-db" check ledger.mdb >/dev/null) ||
  fail "the packaged kestrum-db cannot make and check a ledger"
# Started as the desktop menu starts it (no argument, in a new user's home
# folder), the packaged program makes its ledger in the user's data folder.
home="$work/home"
mkdir -p "$home"
status=0
(cd "$home" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
   timeout 15 "$work/root/usr/bin/kestrum" >"$work/kestrum.log" 2>&1) || status=$?
[ "$status" -eq 124 ] || { cat "$work/kestrum.log" >&2; fail "the packaged kestrum ended by itself ($status)"; }
[ -s "$home/.local/share/kestrum/Vantorel.mdb" ] ||
  { cat "$work/kestrum.log" >&2; fail "the packaged kestrum made no ledger in the data folder"; }
[ ! -e "$home/Vantorel.mdb" ] || fail "the packaged kestrum made a ledger in the home folder itself"
"$work/root/usr/bin/kestrum-db" check "$home/.local/share/kestrum/Vantorel.mdb" >/dev/null ||
  fail "the ledger the packaged kestrum made does not pass the check"
echo "package ok: $(basename "$deb")"
