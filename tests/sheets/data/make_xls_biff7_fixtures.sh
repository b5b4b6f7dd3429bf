#!/usr/bin/env bash
# Rebuilds the Excel 95 fixture Gnumeric writes from xls_biff7.gnumeric, in GBK (code page 936),
# and the text LibreOffice shows for its visible sheets, one after the other.
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export LC_ALL=zh_CN.UTF-8
ssconvert --export-type=Gnumeric_Excel:excel_biff7 xls_biff7.gnumeric xls_biff7_gbk.xls 2>/dev/null
cp xls_biff7_gbk.xls "$work"
(cd "$work" && soffice --headless "-env:UserInstallation=file://$work/profile" \
    --convert-to 'csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true,false,false,-1' \
    xls_biff7_gbk.xls >/dev/null 2>&1)
cat "$work/xls_biff7_gbk-报表.csv" "$work/xls_biff7_gbk-格式.csv" | sed 's/$/\r/' >xls_biff7_gbk.txt
