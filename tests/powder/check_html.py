#!/usr/bin/env python3
"""velmora-powder's HTML report in a real browser: headless chromium opens the page of a real fit
(PbSO4, neutrons, refined; a corundum pattern made apart from velmora where that data is absent) and of a computed pattern whose file name is markup; each page reports
no script error and says its plot is drawn, its data is valid JSON of finite numbers, the markup
stays text, and the screenshot's pixels show the measured points and the calculated line, with the
difference below them.

  check_html.py --powder velmora-powder --source SOURCE_TREE
"""
import argparse, json, os, shutil, struct, subprocess, sys, tempfile, zlib

SKIP = 77
OBSERVED, CALCULATED, DIFFERENCE = (20, 50, 140), (205, 30, 30), (15, 110, 60)  # as the page draws them


def png_rows(path):
    """The rows of an 8-bit RGB or RGBA PNG file as lists of (r, g, b)."""
    data, pos, packed = open(path, "rb").read(), 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IHDR":
            width, height, _, colour = struct.unpack(">IIBB", data[pos + 8:pos + 18])
        elif kind == b"IDAT":
            packed += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    n = {2: 3, 6: 4}[colour]
    raw, stride, above, rows = zlib.decompress(packed), width * n, bytearray(width * n), []
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = line[i - n] if i >= n else 0, above[i], above[i - n] if i >= n else 0
            p = a + b - c
            guess = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (line[i] + (0, a, b, (a + b) // 2, guess)[kind]) & 255
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, n)])
        above = line
    return rows


def where(rows, colour, tolerance=40):
    """The heights (pixel rows) of the pixels near the colour."""
    return [y for y, row in enumerate(rows) for p in row if sum(abs(u - v) for u, v in zip(p, colour)) < tolerance]


def page_problems(chromium, page, scratch, points, curves):
    """What is wrong with the page: its data, its markers, and the curves (name, colour) its screenshot shows;
    the last below the others."""
    problems = []
    with open(page, encoding="utf-8") as f:
        text = f.read()
    data = text.split('<script id="pattern-data" type="application/json">')[1].split("</script>")[0]
    def no_constant(name):
        raise ValueError(name)
    values = json.loads(data, parse_constant=no_constant)
    if len(values["x"]) != points or any(len(s["y"]) != points for s in values["series"]):
        problems.append(f"{page}: {len(values['x'])} points of data, the measurement has {points}")
    run = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--window-size=1000,700",
           "--virtual-time-budget=10000", "--user-data-dir=" + os.path.join(scratch, "profile"), "file://" + page]
    dom = subprocess.run(run[:-1] + ["--dump-dom", run[-1]], capture_output=True, text=True, timeout=120).stdout
    body = dom.split("<body")[1].split(">")[0] if "<body" in dom else ""
    if 'data-plot="drawn"' not in body or "data-script-error" in dom.split("<head>")[0]:
        problems.append(f"{page}: not drawn, or a script error: {dom[:300]!r}")
    shot = os.path.join(scratch, "page.png")
    subprocess.run(run[:-1] + ["--screenshot=" + shot, run[-1]], capture_output=True, timeout=120)
    rows = png_rows(shot)
    heights = {name: where(rows, colour) for name, colour in curves}
    for name, colour in curves:
        if len(heights[name]) < 300:
            problems.append(f"{page}: the screenshot shows hardly any of the {name} ({colour})")
    if len(curves) > 2 and not problems and min(heights[curves[-1][0]]) < max(heights[curves[1][0]]) / 2:
        problems.append(f"{page}: the {curves[-1][0]} is not drawn below the pattern")
    return problems, dom


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--powder", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        print("skipped: no chromium (Debian: chromium) to open the page")
        return SKIP
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        fit = os.path.join(scratch, "fit.html")
        # The real PbSO4 measurement where the shared data is at hand, else a corundum pattern
        # made apart from velmora (tests/powder/measured_patterns.py).
        shared = os.path.normpath(os.path.join(args.source, "..", "shared", "powder-data"))
        if os.path.isdir(shared):
            inputs = [os.path.join(shared, "PbSO4-Wyckoff.cif"), "--instrument", os.path.join(shared, "inst_d1a.prm"),
                      "--observed", os.path.join(shared, "PBSO4.CWN")]
            points, words = 2919, ("Rwp", "cell.a", "8.46", "profile.U", "λ = 1.909 Å", "PBSO4.CWN")
        else:
            sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
            import measured_patterns
            pattern, _ = measured_patterns.write("corundum", scratch, seed=7)
            inputs = [os.path.join(scratch, "corundum.cif"), "--observed", pattern]
            inputs += measured_patterns.velmora_options("corundum")
            points = sum(1 for line in open(pattern) if line.split()[:1] and line.split()[0][0].isdigit()
                         and line.split()[1][0].isdigit())
            words = ("Rwp", "cell.a", "4.75", "corundum.dat")
        run = subprocess.run([os.path.abspath(args.powder)] + inputs + ["--refine", "all", "--html", fit, "--tables",
                                                                          os.path.join(args.source, "data")],
                             capture_output=True, text=True, timeout=300)
        if run.returncode != 0:
            return print(f"the fit failed: {run.stderr}") or 1
        found, dom = page_problems(chromium, fit, scratch, points, [("measured points", OBSERVED),
                                                                   ("calculated line", CALCULATED),
                                                                   ("difference", DIFFERENCE)])
        problems += found
        for word in words:
            if word not in dom:
                problems.append(f"{fit}: the tables lack {word!r}")
        # A name that is markup (<b>, &, quotes) stays text; a name not in UTF-8 keeps its page valid.
        named = os.path.join(scratch, "<b>iron & \"co\" \xff.txt".encode("utf-8", "surrogateescape")
                             .replace(b"\xc3\xbf", b"\xff").decode("utf-8", "surrogateescape"))
        shutil.copy(os.path.join(args.source, "examples", "iron_bcc.txt"), named)
        page = os.path.join(scratch, "pattern.html")
        run = subprocess.run([os.path.abspath(args.powder), named, "--wavelength", "1.5", "--html", page, "--tables",
                              os.path.join(args.source, "data")], capture_output=True, text=True, timeout=120)
        if run.returncode != 0:
            return print(f"the pattern failed: {run.stderr}") or 1
        found, dom = page_problems(chromium, page, scratch, len(json.loads(open(page, encoding="utf-8").read()
                                   .split('type="application/json">')[1].split("</script>")[0])["x"]),
                                   [("neutron pattern", OBSERVED), ("magnetic part", CALCULATED)])
        problems += found
        if "<b>" in dom or "<h1>&lt;b&gt;iron &amp; \"co\" " not in dom:
            problems.append(f"{page}: the file's name is not shown as text")
    for problem in problems:
        print(problem)
    print("html: " + ("agree" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
