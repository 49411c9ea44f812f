#!/usr/bin/env python3
"""velmora-cif against hostile input (README.md): one row of CASES per input.

  hostile_input.py --converter velmora-cif --data DATA --cases CASES
"""
import argparse
import os
import stat
import subprocess
import sys
import tempfile
import time

from run_cases import finish

LIMIT, LIMIT_RSS = 500, 40
CELL = "_cell_length_a {}\n_cell_length_b {}\n_cell_length_c {}\n_cell_angle_alpha {}\n" \
       "_cell_angle_beta {}\n_cell_angle_gamma {}\n"
SITES = "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n" \
        "_atom_site_fract_z\n"


def cif(folder, cell=(5, 5, 5, 90, 90, 90), symmetry="_space_group_name_H-M_alt 'P 1'\n",
        sites="Fe1 Fe 0 0 0\n", text=None):
    path = os.path.join(folder, "x.cif")
    with open(path, "w") as f:
        f.write(text if text is not None else "data_x\n" + CELL.format(*cell) + symmetry + SITES + sites)
    return path


def magnetic_ops(n, m):
    return ("loop_\n_space_group_symop_magn_operation.xyz\n" + "x,y,z,+1\n" * n
            + "loop_\n_space_group_symop_magn_centering.xyz\n" + "x,y,z,+1\n" * m)


def existing(folder, name, mode=0o644, data=b"old\n"):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)
    return path


def tables_with_device(folder, data):
    os.mkdir(os.path.join(folder, "tables"))
    for name in os.listdir(data):
        device = name == "x-ray_coefficients_from_int_tables_edited.txt"
        os.symlink("/dev/zero" if device else os.path.join(data, name), os.path.join(folder, "tables", name))
    return os.path.join(folder, "tables")


def link_to_file(folder):
    os.symlink(existing(folder, "target"), os.path.join(folder, "link"))
    return os.path.join(folder, "link")


def fifo(folder):
    os.mkfifo(os.path.join(folder, "fifo"))
    return os.path.join(folder, "fifo")


# name, arguments (from the scratch folder f and the tables d), expected error text or None
# (converted), and a check of the scratch folder after the run.
CASES = [
    ("long_thin_cell", lambda f, d: [cif(f, (6e6, 0.1, 0.1, 90, 90, 90)), "--dmin", "1"],
     "far too many reflections", None),
    ("index_beyond_int", lambda f, d: [cif(f, (1e10, 1, 1, 90, 90, 90)), "--dmin", "1"],
     "would run beyond 100 million", None),
    ("nearly_collinear_axes", lambda f, d: [cif(f, (1000, 1000, 1000, 0.1, 0.1, 0.1)), "--dmin", "0.5"], None, None),
    ("operations_times_centrings", lambda f, d: [cif(f, symmetry=magnetic_ops(3000, 3000)), "--dmin", "2"],
     "3000 operations times 3000 centrings", None),
    ("warning_per_site", lambda f, d: [cif(f, (50, 50, 50, 90, 90, 90), sites="".join(
        f"C{i} C{i} {i / 1e5} 0.5 0.5\n" for i in range(100000))), "--dmin", "40"], None, None),
    ("mended_faults_on_one_line", lambda f, d: [cif(f, symmetry="_publ_section_title " + "\u201ca b\u201d " * 100000
                                                    + "\n_journal_name_full '" + "Fe\u2212O " * 200000
                                                    + "\n_space_group_name_H-M_alt 'P 1'\n"), "--dmin", "4"],
     None, None),
    ("many_data_blocks", lambda f, d: [cif(f, text="data_b\n".join([""] * 200000)), "--dmin", "2"],
     "data blocks; at most 10000 are read", None),
    ("output_through_link", lambda f, d: [cif(f), "--dmin", "4", "-o", link_to_file(f)], None,
     lambda f: os.path.islink(os.path.join(f, "link")) and open(os.path.join(f, "target")).read() != "old\n"),
    ("output_keeps_mode", lambda f, d: [cif(f), "--dmin", "4", "-o", existing(f, "private", 0o600)], None,
     lambda f: stat.S_IMODE(os.stat(os.path.join(f, "private")).st_mode) == 0o600),
    ("output_to_fifo", lambda f, d: [cif(f), "--dmin", "4", "-o", fifo(f)], "not a regular file",
     lambda f: stat.S_ISFIFO(os.stat(os.path.join(f, "fifo")).st_mode)),
    ("table_is_device", lambda f, d: [cif(f), "--dmin", "4", "--tables", tables_with_device(f, d)],
     "not a regular file", None),
    ("hkl_is_device", lambda f, d: [cif(f), "--hkl", "/dev/zero"], "not a regular file", None),
    ("output_is_standard_output", lambda f, d: [cif(f), "--dmin", "4", "-o", "/dev/stdout"],
     "this is standard output itself", None),
    ("output_named_twice", lambda f, d: [cif(f), "--dmin", "4", "-o", "a", "-o", "b"], "-o: given twice (a and b)",
     lambda f: sorted(os.listdir(f)) == ["x.cif"]),
    ("dmin_twice", lambda f, d: [cif(f), "--dmin", "5", "--dmin", "4"], "--dmin: given twice (5 and 4)", None),
    ("hkl_binary_line",
     lambda f, d: [cif(f), "--hkl", existing(f, "list.hkl", data=b"1 0 0\n1 \x00\xff" + b"7" * 100000 + b"\n")],
     r"list.hkl:2: '1 \x00\xff7777", None),
]


def run(command, cwd):
    """(status, stdout, stderr, seconds, peak memory in KiB) of one run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        p = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=err)
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
        seconds = time.monotonic() - start
        out.seek(0)
        err.seek(0)
        return p.returncode, out.read(), err.read().decode("latin-1"), seconds, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for option in ("--converter", "--data", "--cases"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    converter, data = os.path.abspath(args.converter), os.path.abspath(args.data)
    controls = [run([converter, os.path.abspath(os.path.join(args.cases, "nacl.cif")), "--dmin", "0.5"], data)
                for _ in range(3)]
    if any(c[0] != 0 for c in controls):
        sys.exit("the control conversion failed: " + controls[0][2])
    control, control_rss = min(c[3] for c in controls), max(c[4] for c in controls)
    print(f"control: {control:.3f} s, {control_rss} KiB")
    return finish((name, hostile_case(name, converter, data, control, control_rss, *case))
                  for name, *case in CASES)


def hostile_case(name, converter, data, control, control_rss, arguments, error, after):
    with tempfile.TemporaryDirectory() as folder:
        status, out, err, seconds, rss = run([converter, *arguments(folder, data)], data)
        print(f"{name}: {seconds:.2f} s, {rss} KiB")
        problems = []
        if error is not None and (status != 1 or out or error not in err.split("\n")[-2]):
            problems.append(f"status {status}, {len(out)} bytes out, not refused with {error!r}: {err[-300:]!r}")
        if error is None and status != 0:
            problems.append(f"status {status}: {err[-300:]!r}")
        if "Sanitizer" in err or "runtime error:" in err:
            problems.append("sanitizer report")
        if seconds > LIMIT * control:
            problems.append(f"{seconds:.2f} s, more than {LIMIT} times the control's {control:.3f} s")
        if rss > control_rss * LIMIT_RSS:
            problems.append(f"{rss} KiB, more than {LIMIT_RSS} times the control's {control_rss} KiB")
        if after and not after(folder):
            problems.append("the folder is not as it must be after the run")
        return problems

if __name__ == "__main__":
    sys.exit(main())
