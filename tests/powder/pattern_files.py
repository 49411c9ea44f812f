"""Measured-pattern files written from their published layouts, apart from velmora-powder's readers:
one pattern (a peak on a background, counts) in each format the program reads, and the broken
binary files of the refusal table.

  write_all(folder) -> {file name: (two_theta, intensity, sigma or None when the fit reweights)}
  write_broken(folder) writes the truncated and unreadable Bruker files refusals.txt names.
"""
import math, os, struct

START, STEP, N = 40.0, 0.05, 201
X = [START + STEP * i for i in range(N)]
COUNTS = [float(int(100 + 2000 * math.exp(-0.5 * ((x - 44.67) / 0.08) ** 2))) for x in X]


def gsas_std(counters, end="\r\n"):
    """GSAS STD: 80-column records of ten (I2,F6) pairs, the counters blank when 1; each record a line,
    or without line ends as GSAS writes them on Unix."""
    fields = [("  " if n == 1 else f"{n:2d}") + f"{y:6.0f}" for n, y in zip(counters, COUNTS)]
    records = ["".join(fields[i:i + 10]).ljust(80) for i in range(0, N, 10)]
    return end.join([f"synthetic STD".ljust(80), f"BANK 1 {N} {len(records)} CONST {START * 100:g} {STEP * 100:g} 0 0 STD".ljust(80)]
                    + records) + end


def gsas_esd(sigma):
    fields = [f"{y:8.1f}{s:8.3f}" for y, s in zip(COUNTS, sigma)]
    records = ["".join(fields[i:i + 5]).ljust(80) for i in range(0, N, 5)]
    return "\n".join(["synthetic ESD", f"BANK 1 {N} {len(records)} CONST {START * 100:g} {STEP * 100:g} 0 0 ESD"] + records
                     + ["BANK 2 1 1 CONST 4000 5 0 0 ESD", f"{1:8.1f}{1:8.1f}"]) + "\n"


def gsas_fxye(sigma):
    lines = [f"{x * 100:.4f} {y:.1f} {s:.3f}" for x, y, s in zip(X, COUNTS, sigma)]
    return "\n".join(["synthetic FXYE", "# a comment", f"BANK 1 {N} {N} CONST 0 0 0 0 FXYE"] + lines) + "\n"


def fullprof():
    rows = [" ".join(f"{y:.0f}" for y in COUNTS[i:i + 10]) for i in range(0, N, 10)]
    return "\n".join(["synthetic pattern", "second title line", f"{START:.4f} {STEP:.4f} {X[-1]:.4f}"] + rows) + "\n"


def xrdml(values, unit, positions, times, cdata=False):
    """An XRDML document; with cdata, the values as a CDATA section between two of their own."""
    cdata_text = "{}"
    if cdata:
        first, rest = values[0], values[1:]
        values = rest[:-1]
        cdata_text = f"{first:.6g} <![CDATA[{{}}]]> {rest[-1]:.6g}"
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- written for velmora-powder's tests -->
<xrdMeasurements xmlns="http://www.xrdml.com/XRDMeasurement/1.5" status="Completed">
 <xrdMeasurement measurementType="Scan" status="Completed">
  <usedWavelength intended="K-Alpha 1"><kAlpha1 unit="&#197;">1.5405980</kAlpha1></usedWavelength>
  <scan appendNumber="0" mode="Continuous" scanAxis="Gonio" status="Completed">
   <dataPoints>
    <positions axis="2Theta" unit="deg">{positions}</positions>
    <positions axis="Omega" unit="deg"><startPosition>20</startPosition><endPosition>25</endPosition></positions>
    {times}
    <{unit[0]} unit="{unit[1]}">{(cdata_text if cdata else "{}").format(" ".join(f"{v:.6g}" for v in values))}</{unit[0]}>
   </dataPoints>
  </scan>
 </xrdMeasurement>
</xrdMeasurements>
"""


def raw_v3(counts, supplement=40):
    """RAW1.01: a 712-byte file header (ranges at byte 12), a 304-byte range header (its length at 0,
    steps at 4, start 2theta at 16, step at 176, time per step at 192, supplementary length at 256),
    the supplementary header, float32 counts."""
    header = bytearray(712)
    header[:8] = b"RAW1.01\0"
    struct.pack_into("<I", header, 12, 1)
    rng = bytearray(304)
    struct.pack_into("<II", rng, 0, 304, len(counts))
    struct.pack_into("<d", rng, 16, START)
    struct.pack_into("<d", rng, 176, STEP)
    struct.pack_into("<f", rng, 192, 1.0)
    struct.pack_into("<I", rng, 256, supplement)
    return bytes(header + rng + bytes(supplement)) + struct.pack(f"<{len(counts)}f", *counts)


def raw_v4(counts):
    """RAW4.00: a 61-byte file header (the date at byte 12), a tagged file record (tag, length), a
    160-byte range header (its length at 0, start at 72, step at 80, steps at 88, time per step at 92,
    length of its records at 148, bytes per count at 156), those records, float32 counts, and the
    start of a second range."""
    header = bytearray(61)
    header[:8] = b"RAW4.00\0"
    header[12:22] = b"04/10/2023"
    record = struct.pack("<II", 10, 40) + bytes(32)
    rng = bytearray(160)
    struct.pack_into("<I", rng, 0, 160)
    struct.pack_into("<ddIf", rng, 72, START, STEP, len(counts), 1.0)
    struct.pack_into("<I", rng, 148, 24)
    struct.pack_into("<I", rng, 156, 4)
    return bytes(header) + record + bytes(rng) + bytes(24) + struct.pack(f"<{len(counts)}f", *counts) + bytes(rng[:16])


def write_all(folder):
    sqrt = [math.sqrt(max(y, 1)) for y in COUNTS]
    counters = [1 + i % 3 for i in range(N)]
    times = [1.0 + (i % 2) for i in range(N)]
    start_end = f"<startPosition>{START}</startPosition><endPosition>{X[-1]:.2f}</endPosition>"
    listed = "<listPositions>" + " ".join(f"{x:.2f}" for x in X) + "</listPositions>"
    files = {  # name: (bytes, intensity read, sigma read or None)
        "std.gsas": (gsas_std(counters), COUNTS, [math.sqrt(y / n) for y, n in zip(COUNTS, counters)]),
        "std_counts.gsas": (gsas_std([1] * N), COUNTS, None),
        "records.gsas": (gsas_std(counters, end=""), COUNTS, [math.sqrt(y / n) for y, n in zip(COUNTS, counters)]),
        "esd.gsa": (gsas_esd(sqrt), COUNTS, sqrt),
        "points.fxye": (gsas_fxye(sqrt), COUNTS, sqrt),
        "pattern.dat": (fullprof(), COUNTS, None),
        "counts.xrdml": (xrdml(COUNTS, ("counts", "counts"), start_end,
                               '<commonCountingTime unit="seconds">2.0</commonCountingTime>'), COUNTS, None),
        "rate.xrdml": (xrdml([y / 2 for y in COUNTS], ("intensities", "counts/s"), start_end,
                             '<commonCountingTime unit="seconds">2.0</commonCountingTime>', cdata=True),
                       [y / 2 for y in COUNTS], [s / 2 for s in sqrt]),
        "timed.xrdml": (xrdml(COUNTS, ("counts", "counts"), listed,
                              '<countingTimes unit="seconds">' + " ".join(map(str, times)) + "</countingTimes>"),
                        [y / t for y, t in zip(COUNTS, times)], [s / t for s, t in zip(sqrt, times)]),
        "v3.raw": (raw_v3(COUNTS), COUNTS, None),
        "v4.raw": (raw_v4(COUNTS), COUNTS, None),
        "old_mac.xy": ("\r".join(f"{x:.2f} {y:.0f}" for x, y in zip(X, COUNTS)) + "\r", COUNTS, None),
    }
    for name, (content, _, _) in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode())
    return {name: (X, y, s) for name, (_, y, s) in files.items()}


def write_broken(folder):
    whole = raw_v3(COUNTS)
    broken = {"cut_header.raw": whole[:800], "cut_counts.raw": whole[:-10], "version2.raw": b"RAW2" + whole[4:],
              "nan.raw": raw_v3(COUNTS[:5] + [float("nan")] + COUNTS[6:])}
    for name, content in broken.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
