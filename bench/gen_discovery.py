#!/usr/bin/env python3
"""Synthetic machine for the discovery benchmark, written straight into a Wine prefix from Linux.

gen_discovery.py PREFIX N M OUT_REG OUT_UNREG
  N Uninstall entries (half in HKLM, half in HKCU), install folders under C:\\KxBench holding M files in total.
  Writes the .reg file that adds the entries and the one that removes them (both for regedit /S).
"""
import os
import sys

prefix, n, m, out_reg, out_unreg = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
root_linux = os.path.join(prefix, "drive_c", "KxBench")
root_win = "C:\\KxBench"
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
# Folders of one program, as installers lay them out: files at the top and in a few nested folders.
SUBDIRS = ["", "bin", "bin\\plugins", "data", "data\\locale\\en", "res"]


def make_tree():
    stamp = os.path.join(root_linux, ".kxbench-%d-%d" % (n, m))
    if os.path.exists(stamp):
        return
    if os.path.exists(root_linux):
        os.system("rm -rf '%s'" % root_linux)
    # Empty files except the two executables: a file's blocks cost the generator time and say nothing here.
    payload = b"MZ" + b"x" * 62
    for i in range(n):
        count = m // n + (1 if i < m % n else 0)
        app = os.path.join(root_linux, "App%04d" % i)
        made = set()
        for f in range(count):
            if f == 0:
                rel = "uninst.exe"
            elif f == 1:
                rel = "app.exe"
            else:
                sub = SUBDIRS[f % len(SUBDIRS)]
                rel = os.path.join(*(sub.split("\\") + ["file%05d.dat" % f])) if sub else "file%05d.dat" % f
            path = os.path.join(app, rel)
            d = os.path.dirname(path)
            if d not in made:
                os.makedirs(d, exist_ok=True)
                made.add(d)
            with open(path, "wb") as fh:
                if f < 2:
                    fh.write(payload)
    open(stamp, "w").close()


def q(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def entries():
    lines, unlines = ["Windows Registry Editor Version 5.00", ""], ["Windows Registry Editor Version 5.00", ""]
    for i in range(n):
        hive = "HKEY_LOCAL_MACHINE" if i % 2 == 0 else "HKEY_CURRENT_USER"
        key = "%s\\%s\\KxBench%04d" % (hive, UNINSTALL, i)
        folder = "%s\\App%04d" % (root_win, i)
        lines.append("[%s]" % key)
        lines.append('"DisplayName"=%s' % q("KxBench App %04d" % i))
        lines.append('"UninstallString"=%s' % q('"%s\\uninst.exe" /S' % folder))
        lines.append('"DisplayIcon"=%s' % q("%s\\app.exe,0" % folder))
        if i % 3 == 0:
            lines.append('"InstallLocation"=%s' % q(folder))
        if i % 4 == 0:
            lines.append('"EstimatedSize"=dword:%08x' % (1000 + i))
        if i % 5 == 0:
            lines.append('"InstallDate"=%s' % q("20240115"))
        lines.append("")
        unlines.append("[-%s]" % key)
        unlines.append("")
    for path, text in ((out_reg, lines), (out_unreg, unlines)):
        with open(path, "wb") as fh:
            fh.write(b"\xff\xfe" + "\r\n".join(text).encode("utf-16-le"))


make_tree()
entries()
