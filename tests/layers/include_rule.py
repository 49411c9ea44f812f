"""One rule on the includes of src/: the files that include a header matched by a pattern,
outside the places allowed to, are named, and the rule fails."""
import pathlib, sys

SOURCE_SUFFIXES = {".cpp", ".hpp", ".h", ".cc", ".cxx", ".hh", ".inc"}


def check(src, includes, allowed, refusal, agreement):
    """includes: a pattern whose group 1 names the header; allowed(relative path): whether
    the file may include it; refusal, agreement(count): the closing line either way."""
    src = pathlib.Path(src)
    sources = sorted(p for p in src.rglob("*") if p.is_file() and p.suffix in SOURCE_SUFFIXES)
    if not sources:
        sys.exit(f"no sources under {src}")
    offenders = []
    for path in sources:
        relative = path.relative_to(src).as_posix()
        if allowed(relative):
            continue
        for match in includes.finditer(path.read_text(encoding="utf-8", errors="replace")):
            offenders.append(f"src/{relative} includes {match.group(1)}")
    for line in offenders:
        print(line)
    if offenders:
        print(refusal)
        return 1
    print(agreement(len(sources)))
    return 0
