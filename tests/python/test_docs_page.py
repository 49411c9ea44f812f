"""doc/python.md runs as written from the source tree's root, with the module of the build tree, which finds
the tables beside it (the folder run in holds only the CIF, where the tree has it); the figure step needs
matplotlib (Debian python3-matplotlib, drawn with Agg) and is skipped, saying so, without it."""
import os
import re
import shutil

import pytest
from conftest import SOURCE


def test_docs_page_code_runs(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib", reason="python3-matplotlib is missing: the page's figure is not drawn")
    monkeypatch.setenv("MPLBACKEND", "Agg")
    with open(os.path.join(SOURCE, "doc", "python.md"), encoding="utf-8") as f:
        blocks = re.findall(r"```python\n(.*?)```", f.read(), re.S)
    assert blocks
    os.makedirs(tmp_path / "tests" / "cif" / "cases")
    shutil.copy(os.path.join(SOURCE, "tests", "cif", "cases", "mno.mcif"), tmp_path / "tests" / "cif" / "cases")
    monkeypatch.chdir(tmp_path)
    for block in blocks:
        assert len([line for line in block.splitlines() if line.strip()]) <= 10  # the page promises ten lines
        with pytest.warns(UserWarning, match="B = 0|spin-only"):  # the warnings the page names
            exec(compile(block, "doc/python.md", "exec"), {})
    assert os.path.getsize(tmp_path / "mno.png") > 10000
