#!/usr/bin/env python3
"""velmora-cif on case files, as a user runs it; README.md gives the keys of a case.

  run_cases.py --converter C --velmora V --data DATA --source SRC CASE...
"""
import argparse
import collections
import concurrent.futures
import os
import re
import subprocess
import sys
import tempfile

FIELDS = {"|Fn|^2": (50, 58), "|Fm|^2": (58, 66), "|FX|^2": (66, 78)}


def run(command, cwd, stdin=None):
    done = subprocess.run(command, cwd=cwd, input=stdin, capture_output=True, timeout=300)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def report_parts(text):
    """(heading lines, moment unit vectors as a set, reflection rows) of velmora's report."""
    lines = text.split("\n")
    rows = [line for line in lines if len(line) == 78 and re.match(r"\s*-?\d+\.\d\s", line)]
    vectors = sorted(line[3:27] for line in lines if len(line) == 27 and line[:3].strip().isdigit())
    return [line for line in lines if line not in rows and len(line) != 27], vectors, rows


def close_rows(got, want):
    for a, b in zip(got, want):
        for i, j in [(0, 15), *FIELDS.values(), (15, 50)]:
            x, y = a[i:j].split(), b[i:j].split()
            if x != y and not all(abs(float(p) - float(q)) <= 0.0011 + 1e-6 * abs(float(q)) for p, q in zip(x, y)):
                return f"{a!r} where {b!r}"
    return None if len(got) == len(want) else f"{len(got)} rows where {len(want)}"


def check(case, args):
    folder, name = os.path.split(os.path.abspath(case))
    keys = []
    with open(case, encoding="latin-1") as f:
        for line in f:
            m = re.match(r"(?:\xef\xbb\xbf)?# (\w+): (.*)", line)  # after a byte-order mark too
            if not m:
                break
            keys.append((m.group(1), m.group(2).rstrip()))
    given = dict(keys)
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        options = given.get("args", "--dmin 2").split()
        example = given.get("example")
        if "reference" in given:
            with open(os.path.join(args.source, given["reference"])) as f:
                example = next(line for line in f if line.startswith("# answers:")).split(":", 1)[1].strip()
        if example:  # the example's own reflections: the lines after their count, at its end
            with open(os.path.join(args.source, example)) as f:
                lines = [line.strip() for line in f if line.strip()]
            n = next(n for n in range(len(lines)) if lines[len(lines) - n - 1] == str(n))
            given["hkl"] = ",".join(lines[len(lines) - n:])
        if "hkl" in given:
            with open(os.path.join(scratch, "list.hkl"), "w") as f:
                f.write("\n".join(re.split(r",\s*", given["hkl"])) + "\n")
            options = [o for o in options if o in ("--run", "--magnetic-model", "dipole")]
            options += ["--hkl", os.path.join(scratch, "list.hkl")]
        command = [args.converter, name, *options]
        status, out, err = run(command, folder)
        target = os.path.join(scratch, "out", "answers.txt")
        os.mkdir(os.path.dirname(target))
        if "error" in given:
            with open(target, "w") as f:
                f.write("old\n")
        status_o, out_o, _ = run(command + ["-o", target], folder)
        written = open(target).read() if os.path.exists(target) else None
        warnings = [line for line in err.split("\n") if line.startswith("velmora-cif: warning: ")]
        if "error" in given:
            last = err.rstrip("\n").split("\n")[-1]
            if status != 1 or out or given["error"] not in last or not last.startswith("velmora-cif: error: "):
                problems.append(f"status {status}, {len(out)} characters out, last error line {last!r}")
            if status_o != 1 or written != "old\n" or os.listdir(os.path.dirname(target)) != ["answers.txt"]:
                problems.append("with -o: the existing file was changed, or another file left")
        elif status != 0:
            problems.append(f"status {status}: {err}")
        elif "--run" in options:  # the report of a model velmora lacks: checked by its keys below
            rows = {tuple(map(float, row.split()[:3])): row for row in report_parts(out)[2]}
            for key, value in keys:
                if key == "report" and value not in out.split("\n")[0]:
                    problems.append(f"the report's first line is {out.split(chr(10))[0]!r}")
                if key == "fm":
                    hkl, want = (part.strip() for part in value.split("="))
                    got = rows.get(tuple(map(float, hkl.split())), " " * 78)[slice(*FIELDS["|Fm|^2"])].strip()
                    if not got or abs(float(got) - float(want)) > 0.0011 + 2e-6 * abs(float(want)):
                        problems.append(f"|Fm|^2 of {hkl}: {got!r}, not {want}")
        elif status_o != 0 or out_o or written != out or os.listdir(os.path.dirname(target)) != ["answers.txt"]:
            problems.append("-o wrote other answers than standard output, or left another file")
        if status == 0 and "--run" not in options:  # --run, from an empty folder: velmora's own output
            os.mkdir(os.path.join(scratch, "empty"))
            ran = run([args.converter, os.path.join(folder, name), *options, "-o", "a.txt", "--run"],
                      os.path.join(scratch, "empty"))
            own = run([args.velmora], args.data, out.encode())
            if ran[:2] != own[:2] or not ran[2].endswith(own[2]) or "|FX|^2" not in own[1]:
                problems.append(f"--run: status {ran[0]}, {len(ran[1])} characters; velmora: {own[0]}, {len(own[1])}")
        expected = [value for key, value in keys if key == "warning"]
        matched = [[w for w in warnings if text in w] for text in expected]
        problems += [f"{len(m)} warnings hold {text!r}: {warnings}" for text, m in zip(expected, matched) if len(m) != 1]
        if "error" not in given and len(warnings) > sum(map(len, matched)):
            problems.append(f"unexpected warnings: {warnings}")
        count = collections.Counter(w[7] for w in map(str.split, out.split("\n")) if len(w) == 8 and w[6] in "01")
        for label, n in (pair.split("=") for key, value in keys if key == "atoms" for pair in value.split()):
            if count.get(label, 0) != int(n):
                problems.append(f"{count.get(label, 0)} atoms of {label}, not {n}")
        listed = [" ".join(line.split()) for line in out.split("\n") if re.fullmatch(r"( +-?\d+){3}", line)]
        if "reflections" in given:
            count, _, first = given["reflections"].partition(":")
            first = [h.strip() for h in first.split(",") if h.strip()]
            if len(listed) != int(count) or listed[:len(first)] != first:
                problems.append(f"{len(listed)} reflections, beginning {listed[:6]}, not {given['reflections']}")
        for key, value in keys:
            if key == "line" and not any(re.search(value, line) for line in out.split("\n")):
                problems.append(f"no answer line matches {value!r}")
        if status != 0 or not {"equal", "zero", "example", "reference"} & set(given):
            return problems
        report = own[1]
        rows = report_parts(report)[2]
        for key, value in keys:
            if key in ("equal", "zero"):
                i, j = FIELDS[value]
                values = {row[i:j].strip() for row in rows}
                if len(values) != 1 or (key == "zero" and float(values.pop()) != 0) or not rows:
                    problems.append(f"{value} of the reflections: {sorted(r[i:j].strip() for r in rows)}")
            elif key == "example":
                with open(os.path.join(args.source, value), "rb") as f:
                    theirs = report_parts(run([args.velmora], args.data, f.read())[1])
                ours = report_parts(report)
                if ours[:2] != theirs[:2]:
                    problems.append("velmora's report differs from the example's before the reflections")
                problems += [p for p in [close_rows(ours[2], theirs[2])] if p]
            elif key == "reference":
                place = os.path.join(scratch, "tree")
                os.makedirs(os.path.dirname(os.path.join(place, example)))
                with open(os.path.join(place, example), "w") as f:
                    f.write(out)
                compare = os.path.join(args.source, "tests", "cross_check", "compare_with_references.py")
                done = run([sys.executable, compare, "--velmora", args.velmora, "--data", args.data,
                            "--source", place, os.path.join(args.source, value)], folder)
                if done[0] != 0:
                    problems.append((done[1] + done[2])[-3000:])
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for option in ("--converter", "--velmora", "--data", "--source"):
        parser.add_argument(option, required=True)
    parser.add_argument("cases", nargs="+")
    args = parser.parse_args()
    args.converter, args.velmora, args.data, args.source = map(os.path.abspath, (args.converter, args.velmora,
                                                                                 args.data, args.source))
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:  # cases run at once
        return finish(zip(map(os.path.basename, args.cases), pool.map(lambda case: check(case, args), args.cases)))


def finish(results):
    """Prints each (name, problems) and the count; the exit status."""
    failed = passed = 0
    for name, problems in results:
        failed, passed = failed + bool(problems), passed + (not problems)
        print(f"{name}: " + ("ok" if not problems else "FAILED\n  " + "\n  ".join(problems)))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main())
