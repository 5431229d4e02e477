#!/usr/bin/env bash
# Pictures of the import dialog (a bank's CSV file as it will be read, its
# column mapping, the lines that cannot be read and the entries the ledger
# holds already) and of the export dialog, painted offscreen by
# kestrum-exchangeshot over a demo ledger.
#
#   scripts/screenshot-exchange.sh [BUILD_DIR] [OUTPUT_PREFIX]
#
# BUILD_DIR defaults to "build", OUTPUT_PREFIX to "kestrum-exchange": the
# script writes OUTPUT_PREFIX-import.png and OUTPUT_PREFIX-export.png.
set -euo pipefail
# shellcheck source=scripts/screenshot-common.sh
source "$(dirname "$0")/screenshot-common.sh"

prefix=$(realpath -m "${2:-kestrum-exchange}")
shot_prepare "${1:-build}" kestrum-exchangeshot
# The first entry of the demo ledger, to show up as a duplicate.
first=$(sqlite3 "$work/Vantorel.mdb" \
  "select substr(消费日期,1,10)||',-'||printf('%.2f',消费金额)||','||消费者||','||ifnull(备注,'') from expen order by id limit 1" 2>/dev/null || true)
cat > "$work/bank.csv" <<CSV
交易日期,金额,摘要,备注
2024-03-02,-35.50,超市,周末采购
2024-03-05,8500.00,工资,三月
2024-03-07,-12.00,午饭,
2024-03-09,"-1,280.00",房租,三月房租
2024-02-30,-5,错误日期,
2024-03-12,-26.80,电影,和朋友
2024-03-15,12..5,金额错误,
${first:-2024-03-20,300,兼职,}
CSV
cd "$work"
QT_QPA_PLATFORM=offscreen "$shooter" "$work/bank.csv" "$prefix"
echo "wrote $prefix-import.png and $prefix-export.png"
