#!/usr/bin/env python3
"""Times a program on answer files: every workload is run in turn, round
after round, so that a slow spell of a shared machine falls on all of them
alike. Prints, for each, `name median_seconds`: the median wall time less the
median time of starting an empty program (/bin/true) the same way, so that
short runs are not swamped by the cost of starting a process from here.

  time_runs.py ROUNDS PROGRAM NAME=ANSWERS[@THREADS] [NAME=ANSWERS[@THREADS] ...]

The program runs in the current directory with the answer file on standard
input and its output thrown away, started directly (no shell in between);
with @THREADS, with VELMORA_THREADS set to that count.
"""
import os
import statistics
import subprocess
import sys
import time


def run_once(command, answers, threads=""):
    env = dict(os.environ, VELMORA_THREADS=threads) if threads else None
    with open(answers, "rb") as stdin:
        start = time.perf_counter()
        status = subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, env=env).returncode
        elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("%s < %s: exit status %d" % (command[0], answers, status))
    return elapsed


def main():
    rounds, program = int(sys.argv[1]), sys.argv[2]
    workloads = [(name, *spec.partition("@")[::2]) for name, spec in (arg.split("=", 1) for arg in sys.argv[3:])]
    times = {name: [] for name, _, _ in workloads}
    start_up = []
    for round_number in range(rounds + 1):  # the first round warms the caches and is not counted
        start_up.append(run_once(["/bin/true"], workloads[0][1]))
        for name, answers, threads in workloads:
            times[name].append(run_once([program], answers, threads))
    empty = statistics.median(start_up[1:])
    for name, _, _ in workloads:
        print(name, "%.6f" % (statistics.median(times[name][1:]) - empty))


if __name__ == "__main__":
    main()
