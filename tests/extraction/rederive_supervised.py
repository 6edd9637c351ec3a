#!/usr/bin/env python3
"""Re-derives a supervised panel from an exported candidate list alone.

Usage: rederive_supervised.py EXPORT.csv [...]
Each export holds the round's printed numbers and its candidate list. The
panel is derived with hashlib only and compared with the one recorded;
exit status 1 on any disagreement, one line per file either way.
"""
import csv
import hashlib
import sys


def read_export(path):
    fields, ids = {}, []
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    i = 0
    while rows[i] != ["序号", "专家编号"]:
        fields[rows[i][0]] = rows[i][1] if len(rows[i]) > 1 else ""
        i += 1
    for row in rows[i + 1:]:
        ids.append(row[1])
    return fields, ids


def key_of(candidate_hash, supervisor, program_hex, public):
    text = "kestrune-supervised-draw/1\n%s\n%s\n%s\n%s\n" % (candidate_hash, supervisor, program_hex, public.strip())
    return hashlib.sha256(text.encode("utf-8")).digest()


def order_of(key, count):
    unchosen = list(range(count))
    order = []
    for i in range(count):
        b = i.to_bytes(4, "big")
        h = hashlib.sha256(b + key + b).digest()
        j = int.from_bytes(h[:8], "big") % (count - i)
        order.append(unchosen.pop(j))
    return order


def check(path):
    fields, ids = read_export(path)
    problems = []
    if int(fields["候选人数"]) != len(ids):
        problems.append("candidate count")
    candidate_hash = hashlib.sha256("\n".join(ids).encode("utf-8")).hexdigest()
    if candidate_hash != fields["候选名单SHA-256"]:
        problems.append("candidate hash")
    program = bytes.fromhex(fields["程序随机数"])
    if hashlib.sha256(program).hexdigest() != fields["承诺值"]:
        problems.append("commitment")
    supervisor = fields["监督人号码"]
    if not (supervisor.isascii() and supervisor.isdigit() and len(supervisor) >= 6):
        problems.append("supervisor number")
    key = key_of(candidate_hash, supervisor, fields["程序随机数"], fields.get("公开号码", ""))
    order = order_of(key, len(ids))
    n = min(int(fields["抽取个数"]), len(ids))
    panel = [ids[k] for k in order[:n]]
    if panel != fields["抽中专家编号"].split():
        problems.append("panel %s, recorded %s" % (" ".join(panel), fields["抽中专家编号"]))
    print("%s: %s" % (path, "re-derived: " + " ".join(panel) if not problems else "FAILED: " + "; ".join(problems)))
    return not problems


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    ok = all([check(p) for p in sys.argv[1:]])
    sys.exit(0 if ok else 1)
