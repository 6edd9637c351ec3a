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


def read_sections(path):
    """The rounds of an export: each a dict of fields and its candidate Ids."""
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    sections, fields, ids, in_list = [], {}, [], False
    for row in rows + [[]]:
        if not row:
            if fields:
                sections.append((fields, ids))
            fields, ids, in_list = {}, [], False
        elif row == ["序号", "专家编号"]:
            in_list = True
        elif in_list:
            ids.append(row[1])
        else:
            fields[row[0]] = row[1] if len(row) > 1 else ""
    return sections


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


def check_round(fields, ids):
    problems = []
    if int(fields["候选人数"]) != len(ids):
        problems.append("candidate count")
    candidate_hash = hashlib.sha256("\n".join(ids).encode("utf-8")).hexdigest()
    if candidate_hash != fields["候选名单SHA-256"]:
        problems.append("candidate hash")
    program = bytes.fromhex(fields["程序随机数"])
    if len(program) != 32 or hashlib.sha256(program).hexdigest() != fields["承诺值"]:
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
    return panel, problems


def check(path):
    sections = read_sections(path)
    ok = bool(sections)
    supervised = 0
    for fields, ids in sections:
        if fields.get("监督抽取") != "是":
            continue
        supervised += 1
        panel, problems = check_round(fields, ids)
        ok = ok and not problems
        print("%s round %s: %s" % (path, fields.get("轮次"), "re-derived: " + " ".join(panel)
                                   if not problems else "FAILED: " + "; ".join(problems)))
    if not supervised:
        print("%s: no supervised round" % path)
        ok = False
    return ok


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    ok = all([check(p) for p in sys.argv[1:]])
    sys.exit(0 if ok else 1)
