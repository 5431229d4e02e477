#!/usr/bin/env bash
# Runs the journal's reliability tests over and over: a process killed at
# every step of a post, a delete and an undo; writers in three processes
# undoing and redoing at once; and the random model of ten thousand actions.
# Also runs the sqlite3 shell against a ledger while those tests run, since
# the shell is a writer the journal has to record as well.
#   scripts/journal-stress.sh [ROUNDS] [BUILD_DIR]
set -euo pipefail
rounds=${1:-20}
build=${2:-build}
tests="$build/tests/ledger/tests_ledger"
tool="$build/tools/kestrum-db"
[ -x "$tests" ] && [ -x "$tool" ] || { echo "build tests_ledger and kestrum-db first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" init "$work/Vantorel.mdb" >/dev/null

for ((round = 1; round <= rounds; round++)); do
  # The shell writes beside the test processes' own files and its own.
  for i in $(seq 1 50); do
    echo "INSERT INTO gain (本次进帐, 进帐人) VALUES ($RANDOM, 'shell');"
    echo "UPDATE gain SET 本次进帐 = 本次进帐 + 1 WHERE id = (SELECT max(id) FROM gain);"
    if [ $((RANDOM % 3)) -eq 0 ]; then
      echo "DELETE FROM gain WHERE id = (SELECT min(id) FROM gain);"
    fi
  done | sqlite3 -cmd '.timeout 20000' "$work/Vantorel.mdb" &
  shell=$!
  "$tests" --gtest_brief=1 \
    --gtest_filter='Journal/KilledWrites.*:JournalProcesses.*:JournalModel.*:Journal.AnUndo*' >"$work/log" 2>&1 \
    || { cat "$work/log"; echo "round $round failed" >&2; exit 1; }
  wait "$shell"
  echo "round $round: ok"
done
check=$(sqlite3 "$work/Vantorel.mdb" 'PRAGMA integrity_check')
journal=$(sqlite3 "$work/Vantorel.mdb" 'SELECT count(*) FROM kestrum_journal')
echo "shell ledger: integrity $check, $journal journal rows"
"$tool" history "$work/Vantorel.mdb" | head -3
