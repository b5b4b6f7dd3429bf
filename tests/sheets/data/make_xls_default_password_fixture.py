#!/usr/bin/python3
"""Rebuilds xls_default_password.xls: the workbook of xls_biff7.gnumeric (its text formula left
out, whose result LibreOffice saves as 0 when it has not shown it) saved by LibreOffice as an
Excel 97 workbook encrypted with Excel's default password, and xls_default_password.txt, the
text LibreOffice shows for its visible sheets, which it opens without asking for a password.
Needs LibreOffice's Python bridge (python3-uno) and Gnumeric's ssconvert.

    tests/sheets/data/make_xls_default_password_fixture.py
"""
import os
import subprocess
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

HERE = os.path.dirname(os.path.abspath(__file__))
PORT = 2983


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def office_context(profile):
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore",
                               "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
                               "--accept=socket,host=127.0.0.1,port=%d;urp;" % PORT])
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(60):
        try:
            return office, resolver.resolve(
                "uno:socket,host=127.0.0.1,port=%d;urp;StarOffice.ComponentContext" % PORT)
        except Exception:
            time.sleep(1)
    raise RuntimeError("LibreOffice did not start")


def main():
    work = tempfile.mkdtemp()
    with open(os.path.join(HERE, "xls_biff7.gnumeric"), encoding="utf-8") as source:
        text = "".join(line for line in source if '&amp;' not in line)
    with open(os.path.join(work, "source.gnumeric"), "w", encoding="utf-8") as out:
        out.write(text)
    env = dict(os.environ, LC_ALL="zh_CN.UTF-8")
    subprocess.run(["ssconvert", "--export-type=Gnumeric_Excel:excel_biff8", "source.gnumeric", "source.xls"],
                   cwd=work, env=env, check=True, stderr=subprocess.DEVNULL)
    target = os.path.join(HERE, "xls_default_password.xls")
    office, context = office_context(os.path.join(work, "profile"))
    try:
        desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
        doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.join(work, "source.xls")),
                                           "_blank", 0, (prop("Hidden", True),))
        doc.storeToURL(uno.systemPathToFileUrl(target),
                       (prop("FilterName", "MS Excel 97"), prop("Password", "VelvetSweatshop")))
        doc.close(True)
        desktop.terminate()
    finally:
        office.wait(timeout=60)
    subprocess.run(["cp", target, work], check=True)
    subprocess.run(["soffice", "--headless", "-env:UserInstallation=" + uno.systemPathToFileUrl(work + "/csv"),
                    "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true,false,false,-1",
                    "xls_default_password.xls"], cwd=work, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    shown = b""
    for sheet in ("报表", "格式"):
        with open(os.path.join(work, "xls_default_password-%s.csv" % sheet), "rb") as csv:
            shown += csv.read().replace(b"\n", b"\r\n")
    with open(os.path.join(HERE, "xls_default_password.txt"), "wb") as out:
        out.write(shown)
    subprocess.run(["rm", "-rf", work], check=True)


main()
