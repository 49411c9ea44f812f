# The types of the module velmora, for type checkers and editors. The module is
# compiled; these declarations say what its functions take and give.
import os
from typing import Any, Literal, Mapping, NamedTuple, Sequence, TypedDict, Union

import numpy
import numpy.typing

__version__: str

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
# "j0" or "dipole"; another name raises ValueError.
_Model = str
_Floats = numpy.typing.NDArray[numpy.float32]
# int32 when every index is a whole number, else float32.
_Indices = numpy.typing.NDArray[Union[numpy.int32, numpy.float32]]
# (wavelength in angstroms, intensity ratio to the first line)
_Line = Union[float, tuple[float, float]]
_Moment = tuple[float, float, float]
_AtomValues = Union[
    tuple[str, float, float, float],
    tuple[str, float, float, float, float],
    tuple[str, float, float, float, float, float],
    tuple[str, float, float, float, float, float, _Moment],
]

class VelmoraError(RuntimeError):
    code: str
    where: str
    file: str
    line: int
    answer: str
    option: str
    reason: str

class VelmoraOSError(VelmoraError, OSError): ...
class VelmoraFileNotFoundError(VelmoraOSError, FileNotFoundError): ...
class VelmoraIsADirectoryError(VelmoraOSError, IsADirectoryError): ...
class VelmoraPermissionError(VelmoraOSError, PermissionError): ...
class VelmoraWarning(UserWarning): ...
class VelmoraNote(UserWarning): ...

class Atom(NamedTuple):
    type: str
    site: str
    x: float
    y: float
    z: float
    occ: float
    biso: float
    magnetic: bool

class _Reflections(TypedDict, total=False):
    h: _Floats
    k: _Floats
    l: _Floats
    d: _Floats
    qx: _Floats
    qy: _Floats
    qz: _Floats
    q: _Floats
    fn2: _Floats
    fm2: _Floats
    fx2: _Floats
    hkl: _Indices
    multiplicity: numpy.typing.NDArray[numpy.int64]  # with unique=True
    anomalous: bool  # with unique=True: merged by the point group, F(h) and F(-h) differing

class _Peaks(TypedDict):
    h: _Floats
    k: _Floats
    l: _Floats
    d: _Floats
    two_theta: _Floats
    fn2: _Floats
    fm2: _Floats
    fx2: _Floats
    neutron_nuclear: _Floats
    neutron_magnetic: _Floats
    xray: _Floats
    wavelength: _Floats
    hkl: _Indices

class _Absorption(TypedDict, total=False):
    mu_r: float
    mu: float  # 1/mm, with absorption="auto"
    packing: float  # with absorption="auto"
    radius: float  # mm, with absorption="auto"
    text: str  # the CSV's model line

class _AbsorptionStated(TypedDict, total=False):
    absorption: _Absorption  # with absorption=

class _Pattern(_AbsorptionStated):
    two_theta: _Floats
    neutron_nuclear: _Floats
    neutron_magnetic: _Floats
    neutron: _Floats
    xray: _Floats
    peaks: _Peaks

class _RefinedParameter(TypedDict, total=False):
    name: str  # dotted: "cell.a", "zero", "profile.U", "phase.2.scale", "site.O3.y", "moment.Mn1.mx"
    value: float
    esd: float  # 0 when not refined
    refined: bool
    follows: str  # the parameter it is tied to, when it is

class _Correlation(TypedDict):
    first: str
    second: str
    value: float

class _FittedPattern(TypedDict):
    two_theta: numpy.typing.NDArray[numpy.float64]
    observed: numpy.typing.NDArray[numpy.float64]
    sigma: numpy.typing.NDArray[numpy.float64]
    calculated: numpy.typing.NDArray[numpy.float64]
    background: numpy.typing.NDArray[numpy.float64]

class _FitModel(TypedDict):
    radiation: Literal["neutron", "xray"]
    dispersion: Literal["cromer-liberman", "none"]  # f' and f'' in |FX|^2
    isotopes: dict[str, str]  # as given: element, site or atom type to isotope

class _Refinement(TypedDict, total=False):
    scale: float
    scale_means: str
    zero_shift: float
    background: list[float]
    Rp: float
    Rwp: float
    Rexp: float
    chi2: float
    scales: list[float]  # with phases: one per phase, this structure's first
    excluded: list[tuple[float, float]]  # with exclude
    absorption: _Absorption  # with absorption=
    parameters: list[_RefinedParameter]  # with refine
    values: dict[str, tuple[float, float]]  # name: (value, esd), with refine
    structure: Structure  # at the refined values, with refine
    correlations: list[_Correlation]  # those above 0.9 in size
    at_bound: list[str]
    iterations: int
    converged: bool
    stop_reason: str
    model: _FitModel
    pattern: _FittedPattern

_Observed = Union[
    _Path,
    tuple[numpy.typing.ArrayLike, numpy.typing.ArrayLike],
    tuple[numpy.typing.ArrayLike, numpy.typing.ArrayLike, numpy.typing.ArrayLike],
]

class Structure:
    def __init__(
        self,
        cell: Sequence[float],
        atoms: Sequence[_AtomValues],
        symmetry: Sequence[str] = ...,
        tables: _Path | None = None,
        *,
        magnetic_model: _Model | None = None,
        g: Mapping[str, float] = ...,
        ions: Mapping[str, str] = ...,
    ) -> None: ...
    def reflections(
        self,
        dmin: float | None = None,
        hkl: numpy.typing.ArrayLike | None = None,
        unique: bool = False,
        *,
        wavelength: float | None = None,
        dispersion: Literal["cromer-liberman", "none"] | None = None,
        isotopes: Mapping[str, str] | None = None,  # {"Gd": "160Gd"}: element, site or atom type
    ) -> _Reflections: ...
    def powder(
        self,
        wavelength: float | Sequence[_Line] | None = None,
        two_theta: tuple[float, float, float] | None = None,
        fwhm: float | None = None,
        caglioti: tuple[float, float, float] | None = None,
        *,
        source: str | None = None,  # a tube anode: Cu, Mo, Co, Fe, Cr, Ag
        tch: tuple[float, float] | tuple[float, float, float, float, float] | None = None,
        dmin: float | None = None,
        instrument: str | os.PathLike[str] | None = None,  # a GSAS instrument parameter file
        dispersion: Literal["cromer-liberman", "none"] | None = None,
        isotopes: Mapping[str, str] | None = None,
        absorption: float | Literal["auto"] | None = None,  # a capillary's mu R, or auto
        packing: float | None = None,  # with absorption="auto": the packing fraction
        radius: float | None = None,  # with absorption="auto": the capillary's radius, mm
    ) -> _Pattern: ...
    def refine(
        self,
        observed: _Observed,
        refine: str | Sequence[str] | None = None,
        *,
        wavelength: float | Sequence[_Line] | None = None,
        source: str | None = None,
        instrument: str | os.PathLike[str] | None = None,
        fwhm: float | None = None,
        caglioti: tuple[float, float, float] | None = None,
        tch: tuple[float, float] | tuple[float, float, float, float, float] | None = None,
        radiation: str | None = None,  # "neutron" or "xray"
        background_terms: int | None = None,
        zero_range: float | None = None,
        phases: Sequence[Structure] = ...,
        exclude: Sequence[tuple[float, float]] | None = None,
        le_bail: bool | None = None,
        fix: str | Sequence[str] | None = None,
        dispersion: Literal["cromer-liberman", "none"] | None = None,
        isotopes: Mapping[str, str] | None = None,
        absorption: float | Literal["auto"] | None = None,
        packing: float | None = None,
        radius: float | None = None,
    ) -> _Refinement: ...
    @property
    def cell(self) -> tuple[float, float, float, float, float, float]: ...
    @property
    def atoms(self) -> list[Atom]: ...
    @property
    def operations(self) -> list[str]: ...
    @property
    def moments(self) -> list[_Moment]: ...
    @property
    def model(self) -> dict[str, Any]: ...
    @property
    def warnings(self) -> list[str]: ...

def read_cif(
    path: _Path,
    *,
    block: str | None = None,
    ions: Mapping[str, str] = ...,
    tables: _Path | None = None,
    magnetic_model: _Model | None = None,
    g: Mapping[str, float] = ...,
) -> Structure: ...
def read_answers(
    path: _Path,
    *,
    tables: _Path | None = None,
    magnetic_model: _Model | None = None,
    g: Mapping[str, float] = ...,
    ions: Mapping[str, str] = ...,
) -> Structure: ...
