#!/usr/bin/env python3
"""Runs a shipped example: the answers are examples/<name>.txt, <name> being this folder's
name without its x_ prefix, so the case checks exactly what users are given; the expected
output is expected_stdout.txt beside this script. Usage: generate.py OUTDIR"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
NAME = os.path.basename(HERE)[len("x_"):]
EXAMPLE = os.path.join(HERE, "..", "..", "..", "..", "examples", NAME + ".txt")

shutil.copyfile(EXAMPLE, os.path.join(sys.argv[1], "stdin.txt"))
shutil.copyfile(os.path.join(HERE, "expected_stdout.txt"),
                os.path.join(sys.argv[1], "expected_stdout.txt"))
