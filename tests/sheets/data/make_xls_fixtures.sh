#!/usr/bin/env bash
# Rebuilds the .xls fixtures: a workbook written with openpyxl, saved as .xls by LibreOffice
# Calc and by Gnumeric, and the text LibreOffice shows for each sheet (the visible ones kept).
# No booleans: LibreOffice shows 1 and 0 for those of a .xls where Excel and WPS show TRUE and FALSE.
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/source.xlsx" <<'PY'
import datetime, sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "报表"
ws.append(["台区", "设备类型", "数量", "说明", "标志"])
ws.append(["镇府公用台变", "三相多功能电能表", 12, "Café 😀", "是"])
ws.append(["城东台变", "三相智能电能表（费控）", -3.25, "Café", "否"])
ws.append([])
ws.append(["镇府公用台变", None, 1234567.5, None, None, "远"])
ws["A6"], ws["C6"], ws["D6"], ws["E6"] = '=A2&"x"', "=C2*2", "=1/0", "=C2+1"
ws.append([0.1, 65536, -0.5])
long = wb.create_sheet("长表")
for i in range(400):
    long.append([f"第{i}号电能表，安装于镇府公用台变", i * 7, f"x{i}"])
hidden = wb.create_sheet("隐藏")
hidden.append(["不应出现"])
hidden.sheet_state = "hidden"
fmt = wb.create_sheet("格式")
fmt.append([datetime.date(2024, 1, 15), 0.125, 1234.5, "文本", 1e-5, 123456789012])
for cell, code in zip(fmt[1], ["yyyy/m/d", "0.00%", "#,##0.00", "@"]):
    cell.number_format = code
wb.save(sys.argv[1])
PY
lo=(soffice --headless -env:UserInstallation=file:///tmp/lo-xls-fixtures)
"${lo[@]}" --convert-to xls --outdir "$work/lo" "$work/source.xlsx" >/dev/null 2>&1
cp "$work/lo/source.xls" xls_libreoffice.xls
ssconvert "$work/source.xlsx" xls_gnumeric.xls 2>/dev/null 2>&1
cd "$work" && cp "$OLDPWD/xls_libreoffice.xls" shown.xls
"${lo[@]}" --convert-to 'csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true,false,false,-1' shown.xls >/dev/null 2>&1
cd "$OLDPWD"
for pair in 报表:report 长表:long 格式:formats; do
    sed 's/$/\r/' "$work/shown-${pair%%:*}.csv" >"xls_shown_${pair##*:}.txt"
done
# LibreOffice's General shows 0.00001 and 123456789012 in full; a Chinese Excel's fits 11
# characters.
sed -i 's/\t0\.00001\t123456789012\r$/\t1E-05\t1.23457E+11\r/' xls_shown_formats.txt
