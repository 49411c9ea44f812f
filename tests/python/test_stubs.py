"""The module's type stubs (src/python/velmora.pyi) agree with the compiled module: every
name, and every function's parameters in order and kind as its own signature line gives
them; mypy accepts the code of doc/python.md under them and refuses wrong calls. Skipped,
saying so, without mypy (Debian python3-mypy)."""
import ast
import os
import re
import subprocess
import sys

import pytest
import velmora
from conftest import SOURCE

STUBS = os.path.join(SOURCE, "src", "python")
pytest.importorskip("mypy", reason="python3-mypy is missing: the stubs are not checked")


def mypy(*args):
    env = dict(os.environ, MYPYPATH=STUBS, PYTHONPATH=os.path.dirname(velmora.__file__))
    return subprocess.run([sys.executable, "-m", *args], env=env, capture_output=True, text=True)


def test_stubtest_finds_every_name():
    # pybind11's classes have a metaclass of their own, which a stub cannot name.
    allow = os.path.join(os.path.dirname(__file__), "stubtest_allowlist.txt")
    done = mypy("mypy.stubtest", "velmora", "--allowlist", allow)
    assert done.returncode == 0, done.stdout + done.stderr


def stub_parameters():
    tree = ast.parse(open(os.path.join(STUBS, "velmora.pyi"), encoding="utf-8").read())
    functions = [("", item) for item in tree.body]
    functions += [(node.name + ".", item) for node in tree.body if isinstance(node, ast.ClassDef) for item in node.body]
    return {prefix + item.name: ([a.arg for a in item.args.args], [a.arg for a in item.args.kwonlyargs])
            for prefix, item in functions if isinstance(item, ast.FunctionDef) and not item.decorator_list}


def runtime_parameters(function):
    # pybind11 writes "name(self: T, a: T = d, *, b: T = d) -> R" as the docstring's first line.
    line = function.__doc__.splitlines()[0]
    inside = line[line.index("(") + 1:line.rindex(") ->")]
    positional, keyword = [], []
    names = positional
    for part in re.split(r",\s*(?![^\[\]]*\])", inside):
        if part.strip() == "*":
            names = keyword
        else:
            names.append(part.split(":")[0].strip())
    return positional, keyword


def test_stub_parameters_are_the_modules():
    stubs = stub_parameters()
    functions = {"read_cif": velmora.read_cif, "read_answers": velmora.read_answers,
                 "Structure.__init__": velmora.Structure.__init__,
                 "Structure.reflections": velmora.Structure.reflections, "Structure.powder": velmora.Structure.powder,
                 "Structure.refine": velmora.Structure.refine}
    assert set(stubs) == set(functions)
    for name, function in functions.items():
        assert stubs[name] == runtime_parameters(function), name


def test_documented_code_checks_and_wrong_calls_do_not(tmp_path):
    with open(os.path.join(SOURCE, "doc", "python.md"), encoding="utf-8") as f:
        blocks = re.findall(r"```python\n(.*?)```", f.read(), re.S)
    good = tmp_path / "documented.py"
    good.write_text("\n".join(blocks))
    done = mypy("mypy", "--ignore-missing-imports", "--no-incremental", "--cache-dir", os.devnull, str(good))
    assert done.returncode == 0, done.stdout
    # Each line is one mistake the stubs must catch.
    wrong = ['velmora.read_cif(3)', 'velmora.read_cif("a.cif", magnetic_model=2)',
             'velmora.read_answers("a.txt").powder(source=29)',
             'velmora.read_answers("a.txt").powder(1.5, (10, 20))',
             'velmora.read_answers("a.txt").reflections()["fm3"]', 'velmora.Structure((3, 3, 3, 90, 90, 90), [(1, 0, 0, 0)])',
             'x: int = velmora.read_answers("a.txt").cell[0]']
    bad = tmp_path / "wrong.py"
    bad.write_text("import velmora\n" + "\n".join(wrong) + "\n")
    done = mypy("mypy", "--no-incremental", "--cache-dir", os.devnull, str(bad))
    lines = {int(m.group(1)) for m in re.finditer(r"wrong\.py:(\d+): error", done.stdout)}
    assert lines == set(range(2, len(wrong) + 2)), done.stdout
