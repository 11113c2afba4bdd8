#!/usr/bin/env python3
"""Snapshots of a Wine prefix for the uninstall tests: what is on its drive and in its registry, and the check that
a sweep removed exactly what was chosen.

  prefix_snapshot.py files PREFIX OUT          the prefix's files and folders (not its registry files, not the
                                               harness's own .kx-* files and home), one per line with its size
  prefix_snapshot.py compare BEFORE_DIR AFTER_DIR CHOSEN_JSON
      BEFORE_DIR/AFTER_DIR hold files.txt, hklm.reg and hkcu.reg; CHOSEN_JSON is kxuninst's --json output. Prints
      every difference that is neither a chosen leftover (with what lies below it) nor on the allowlist; exit 1
      when there is one.
"""
import json
import os
import sys

# What may change while kxuninst sweeps, apart from the chosen leftovers: the component's list cache (written when
# it stops) and the registry Wine keeps for itself: its own keys, the volatile keys of the display that exist while
# its desktop process runs, the running service counter, and the restart schedule that wineboot carries out when
# the prefix's server starts again (the NSIS uninstaller schedules its own temporary copy there).
ALLOWED_FILES = ("drive_c/users/*/AppData/Roaming/Orvane/OrvaneVarnok/solvend2/data/",)
ALLOWED_KEYS = (
    "HKEY_LOCAL_MACHINE\\Software\\Wine",
    "HKEY_CURRENT_USER\\Software\\Wine",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\Environment",
    "HKEY_CURRENT_USER\\Volatile Environment",
    "HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP\\VIDEO",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\System",
)
ALLOWED_VALUES = (
    ("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent", ""),
    ("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager", "pendingfilerenameoperations"),
)


def files(prefix, out):
    rows = []
    for top, dirs, names in os.walk(prefix):
        rel = os.path.relpath(top, prefix)
        if rel == ".":
            dirs[:] = [d for d in dirs if not d.startswith(".kx-")]
            names = [n for n in names if not n.startswith(".kx-") and not n.endswith(".reg")]
        dirs.sort()
        for d in list(dirs):
            p = os.path.join(top, d)
            if os.path.islink(p):
                rows.append(os.path.relpath(p, prefix) + " -> " + os.readlink(p))
                dirs.remove(d)
            else:
                rows.append(os.path.relpath(p, prefix) + "/")
        for n in sorted(names):
            p = os.path.join(top, n)
            if os.path.islink(p):
                rows.append(os.path.relpath(p, prefix) + " -> " + os.readlink(p))
            else:
                rows.append(os.path.relpath(p, prefix) + "\t" + str(os.path.getsize(p)))
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(sorted(rows)) + "\n")


def read_reg(path):
    """{key (lower case): {value name (lower case): data}} of a reg export (UTF-16 with BOM)."""
    raw = open(path, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
    keys, key, pending = {}, None, ""
    for line in text.splitlines():
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            keys.setdefault(key.lower(), {"": None})
            keys[key.lower()].pop("", None)
            keys[key.lower()]["\x00name"] = key
        elif key and "=" in line:
            name, _, data = line.partition("=")
            name = "" if name == "@" else json.loads(name) if name.startswith('"') else name
            keys[key.lower()][name.lower()] = data
    return keys


def under(path, roots):
    return any(path == r or path.startswith(r.rstrip("\\/") + sep) for r in roots for sep in ("\\", "/"))


def allowed_file(rel):
    import fnmatch
    return any(fnmatch.fnmatch(rel, pattern + "*") for pattern in ALLOWED_FILES)


def compare(before_dir, after_dir, chosen_json):
    doc = json.load(open(chosen_json, encoding="utf-8"))
    chosen = set(doc["sweep"]["chosen"])
    entries = [l for l in doc["leftovers"] if l["id"] in chosen and l["level"] == 2]
    prefix = os.path.realpath(os.environ["KX_COPY_PREFIX"])
    file_roots, reg_keys, reg_values = [], [], []
    for e in entries:
        if e["kind"] == 3:
            text = e["path"].lower()
            if "\\\\" in text.split("\\", 1)[1]:
                k, _, v = text.rpartition("\\\\")
                reg_values.append((k, v))
            else:
                reg_keys.append(text)
        else:
            linux = os.path.realpath(e["linuxPath"])
            file_roots.append(os.path.relpath(linux, prefix))
    problems = []
    fb = {l.split("\t")[0].split(" -> ")[0].rstrip("/"): l for l in open(os.path.join(before_dir, "files.txt"), encoding="utf-8").read().splitlines() if l}
    fa = {l.split("\t")[0].split(" -> ")[0].rstrip("/"): l for l in open(os.path.join(after_dir, "files.txt"), encoding="utf-8").read().splitlines() if l}
    for rel in sorted(set(fb) | set(fa)):
        if fb.get(rel) == fa.get(rel) or allowed_file(rel):
            continue
        if rel in fb and rel not in fa and under(rel, file_roots):
            continue
        problems.append("file %s: before %r, after %r" % (rel, fb.get(rel), fa.get(rel)))
    for rel in file_roots:
        if rel in fa:
            problems.append("chosen leftover still there: " + rel)
    for hive in ("hklm.reg", "hkcu.reg"):
        rb, ra = read_reg(os.path.join(before_dir, hive)), read_reg(os.path.join(after_dir, hive))
        for key in sorted(set(rb) | set(ra)):
            if under(key, [k.lower() for k in ALLOWED_KEYS]):
                continue
            if key not in ra:
                if not under(key, reg_keys):
                    problems.append("registry key removed: " + rb[key]["\x00name"])
                continue
            if key not in rb:
                problems.append("registry key added: " + ra[key]["\x00name"])
                continue
            for name in sorted(set(rb[key]) | set(ra[key])):
                if rb[key].get(name) == ra[key].get(name):
                    continue
                if name not in ra[key] and (key, name) in reg_values:
                    continue
                if (key, name) in [(k.lower(), v) for k, v in ALLOWED_VALUES]:
                    continue
                problems.append("registry value %s\\\\%s: before %r, after %r" % (
                    rb[key]["\x00name"], name, rb[key].get(name), ra[key].get(name)))
        for k in reg_keys:
            if k in ra:
                problems.append("chosen registry key still there: " + k)
        for k, v in reg_values:
            if k in ra and v in ra[k]:
                problems.append("chosen registry value still there: %s\\\\%s" % (k, v))
    for p in problems:
        print(p)
    print("%d chosen entries, %d differences beyond them" % (len(entries), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    if sys.argv[1] == "files":
        files(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], sys.argv[4]))
    else:
        sys.exit(__doc__)
