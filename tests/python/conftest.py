"""Where the tests find the programs, the source tree and the module (given by CTest)."""
import os
import sys

import pytest

SOURCE = os.environ["VELMORA_SOURCE"]
BUILD = os.environ["VELMORA_BUILD"]
sys.path.insert(0, os.path.join(BUILD, "src", "python"))


@pytest.fixture(scope="session")
def programs():
    return {name: os.path.join(BUILD, "src", sub, name) if sub else os.path.join(BUILD, name)
            for name, sub in (("velmora", ""), ("velmora-cif", "cif"), ("velmora-powder", "powder"))}
