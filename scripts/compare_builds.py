#!/usr/bin/env python3
"""Runs two builds of the tool on the same generated dialogues and judges every
number whose report text changed against a 60-digit reference.

Usage: scripts/compare_builds.py OLD_TOOL NEW_TOOL [DIALOGUES] [SEED]

For each dialogue whose report differs, each changed frequency and mode-shape
component is judged right when it equals the reference rounded half away from
zero to its four printed digits. Shape components below 1e-3 of their shape's
largest are not judged: four digits of the largest cannot show them.
"""

import math
import os
import random
import subprocess
import sys
import tempfile
from decimal import ROUND_HALF_UP, Decimal, InvalidOperation, getcontext

getcontext().prec = 60


def run(tool, typed, work):
    report = os.path.join(work, "r.txt")
    if os.path.exists(report):
        os.remove(report)
    subprocess.run(
        ["setsid", "-w", tool],
        input=f"{report} {typed}\n".encode(),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
        cwd=work,
        check=False,
    )
    with open(report, "rb") as f:
        return f.read().decode("latin-1").replace("\r", "")


def printed_numbers(report):
    """omega2, omega3, f2, f3 and the shape components, by name."""
    out = {}
    lines = report.split("\n")
    for i, line in enumerate(lines):
        s = line.strip()
        for name in ("omega2", "omega3", "f2", "f3"):
            if s.startswith(name + " ="):
                out[name] = s.split("=")[1].split()[0]
        if s.startswith("Displacement Vector"):
            mode = int(s.split()[-1])
            for disk in range(3):
                out[f"mode {mode} disk {disk + 1}"] = lines[i + 2 + disk].strip()
    return out


def roots_ascending(beta, gamma, s):
    """Roots of z^2 + beta z + gamma = 0 without cancellation."""
    big = (-beta - s) / 2 if beta >= 0 else (s - beta) / 2
    other = gamma / big
    return sorted([big, other])


def reference(values):
    """The true numbers of a chain of positive values, or None."""
    j1, k1, j2, k2, j3 = (Decimal(float(v)) for v in values)
    if min(j1, k1, j2, k2, j3) <= 0:
        return None
    p, u, v, q = k1 / j1, k1 / j2, k2 / j2, k2 / j3
    d = p - q + u - v
    s = (d * d + 4 * u * v).sqrt()
    lam = roots_ascending(-(p + u + v + q), p * q + p * v + u * q, s)
    mp = roots_ascending(p - q - u - v, -u * (p - q), s)
    mq = roots_ascending(q - p - u - v, -v * (q - p), s)
    two_pi = 2 * Decimal("3.14159265358979323846264338327950288419716939937510582097494")
    ref = {}
    for m, name in ((0, "2"), (1, "3")):
        omega = lam[m].sqrt()
        ref["omega" + name] = omega
        ref["f" + name] = omega / two_pi
    ref["shapes"] = {1: [Decimal(1)] * 3}
    for m in (0, 1):
        ref["shapes"][m + 2] = [Decimal(1), -mp[m] / p, q / p * (mp[m] / mq[m])]
    return ref


def four_digits(x):
    if x == 0:
        return Decimal(0)
    exponent = x.copy_abs().adjusted()
    return x.quantize(Decimal(1).scaleb(exponent - 3), rounding=ROUND_HALF_UP)


def is_right(shown, true):
    try:
        value = Decimal(shown.replace("e+", "e").replace("e-0", "e-"))
    except InvalidOperation:
        return False  # infinite or not a number
    return value == four_digits(true)


def judged(numbers, ref):
    """name -> right?, for the numbers large enough to show at four digits."""
    out = {}
    for name in ("omega2", "omega3", "f2", "f3"):
        if name in numbers:
            out[name] = is_right(numbers[name], ref[name])
    for mode, shape in ref["shapes"].items():
        largest = max(abs(c) for c in shape)
        for disk, true in enumerate(shape):
            name = f"mode {mode} disk {disk + 1}"
            if name in numbers and abs(true) >= largest / 1000:
                out[name] = is_right(numbers[name], true)
    return out


def dialogue(rng):
    """Five values as typed: mostly positive chains over a few decades."""
    kind = rng.random()
    if kind < 0.1:  # a value that is not positive: nothing may change
        values = [10 ** rng.uniform(-3, 3) for _ in range(5)]
        values[rng.randrange(5)] = rng.choice([0.0, -1.0, -(10 ** rng.uniform(-3, 3))])
    elif kind < 0.2:  # a heavy middle disk between ends of like rates
        j1 = 10 ** rng.uniform(-3, 3)
        j3 = j1 * 10 ** rng.uniform(-1, 1)
        k1 = 10 ** rng.uniform(-3, 3)
        k2 = k1 * j3 / j1 * (1 + rng.choice([0, 1e-9, 1e-6, 1e-3]))
        values = [j1, k1, j1 * 10 ** rng.uniform(2, 10), k2, j3]
    else:  # inertias and stiffnesses each over 0 to 12 decades
        spread = rng.uniform(0, 12)
        ib, sb = 10 ** rng.uniform(-3, 6), 10 ** rng.uniform(-3, 6)
        values = [
            (ib if i % 2 == 0 else sb) * 10 ** rng.uniform(0, spread) for i in range(5)
        ]
    return " ".join(repr(float(v)) for v in values)


def main():
    old, new = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 5000
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 20261211)
    changed = 0
    small = 0
    tally = {"wrong to right": 0, "right to wrong": 0, "right to right": 0, "wrong to wrong": 0}
    examples = {k: [] for k in tally}
    with tempfile.TemporaryDirectory() as work:
        for _ in range(count):
            typed = dialogue(rng)
            before, after = run(old, typed, work), run(new, typed, work)
            if before == after:
                continue
            changed += 1
            ref = reference(typed.split())
            if ref is None:
                tally["right to wrong"] += 1
                examples["right to wrong"].append(typed + " (not a positive chain)")
                continue
            nb, na = printed_numbers(before), printed_numbers(after)
            jb, ja = judged(nb, ref), judged(na, ref)
            for name in set(nb) | set(na):
                if nb.get(name) == na.get(name):
                    continue
                if name not in ja:
                    small += 1
                    continue
                key = ("right" if jb.get(name) else "wrong") + " to "
                key += "right" if ja[name] else "wrong"
                tally[key] += 1
                if len(examples[key]) < 3:
                    examples[key].append(f"{typed}: {name} {nb.get(name)} -> {na.get(name)}")
    print(f"{changed} of {count} dialogues change a report byte")
    print("changed numbers large enough to show at four digits:")
    for key, n in tally.items():
        print(f"  {key}: {n}")
        for e in examples[key]:
            print(f"    {e}")
    print(f"  too small to show at four digits of their shape's largest: {small}")
    return 1 if tally["right to wrong"] or tally["wrong to wrong"] else 0


if __name__ == "__main__":
    sys.exit(main())
