#!/usr/bin/env python3
"""Writes Gs1Table.cpp, the table of GS1 Application Identifiers that the
splitter (Gs1.cpp) checks codes against, from the GS1 Barcode Syntax
Dictionary, GS1's own machine-readable table of AIs (Apache-2.0, see
LICENSE-gs1-syntax-dictionary beside this script).

To take a newer dictionary: copy its gs1-syntax-dictionary.txt over the one in
the shared folder beside the repository (or pass its path), run

    python3 tools/gs1/make_gs1_table.py [DICTIONARY] [ISO_CODES_JSON_DIR]

from the repository's root, build, and run the GS1 tests (ctest -R Gs1). The
country and currency codes come from Debian's iso-codes package
(/usr/share/iso-codes/json). A linter the dictionary names that the splitter
does not know is left out of the table and named in the file's header.
"""

import json
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
DICTIONARY = os.path.join(ROOT, "..", "shared", "gs1", "gs1-syntax-dictionary.txt")
ISO_CODES = "/usr/share/iso-codes/json"
OUTPUT = os.path.join(HERE, "Gs1Table.cpp")

# The linters the splitter runs, by the dictionary's names (Gs1Table.h: Gs1Lint).
LINTERS = {
    "csum": "Csum", "csumalpha": "CsumAlpha", "gcppos1": "GcpPos1", "gcppos2": "GcpPos2", "key": "GcpPos1",
    "yymmdd": "Yymmdd", "yymmd0": "Yymmd0", "yyyymmdd": "Yyyymmdd", "hhmi": "Hhmi", "hh": "Hour",
    "mi": "Minute", "ss": "Second", "iso3166": "Iso3166", "iso3166999": "Iso3166Or999",
    "iso3166alpha2": "Iso3166Alpha2", "iso4217": "Iso4217", "yesno": "YesNo", "zero": "Zero",
    "nonzero": "NonZero", "winding": "Winding", "nozeroprefix": "NoZeroPrefix", "hasnondigit": "HasNonDigit",
    "pieceoftotal": "PieceOfTotal", "iso5218": "Iso5218", "pcenc": "PercentEncoded", "iban": "Iban",
    "hyphen": "Hyphen", "latitude": "Latitude", "longitude": "Longitude",
}

ENTRY = re.compile(r"^(\d+)(?:-(\d+))?\s+([*?!\"$%&'()+,\-./:;<=>@\[\\\]^_`{|}~]*)\s+(.*)$")
COMPONENT = re.compile(r"^(\[)?([NXYZ])(\.\.)?(\d+)(\])?((?:,\w+)*)$")


def parse(path):
    """[(ai, predefined, [(cset, min, max, optional, [linters])], req, ex, title)], skipped linters."""
    entries, skipped = [], set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            body, _, title = line.partition("#")
            m = ENTRY.match(body.strip())
            if not m:
                sys.exit("cannot read: " + line)
            first, last, flags, rest = m.groups()
            components, req, ex = [], [], []
            for word in rest.split():
                if word.startswith("req="):
                    req.append(word[4:])
                elif word.startswith("ex="):
                    ex.append(word[3:])
                elif word.startswith("dlpkey") or "=" in word or not re.match(r"^\[?[NXYZ]", word):
                    continue  # GS1 Digital Link attributes: not a matter of the element string
                else:
                    c = COMPONENT.match(word)
                    if not c:
                        sys.exit("cannot read component %r in: %s" % (word, line))
                    opt, cset, variable, length, _, lints = c.groups()
                    names = [n for n in lints.split(",") if n]
                    skipped.update(n for n in names if n not in LINTERS)
                    kept = sorted({LINTERS[n] for n in names if n in LINTERS})
                    size = int(length)
                    components.append((cset, 1 if variable else size, size, bool(opt), kept))
            width = len(first)
            for n in range(int(first), int(last or first) + 1):
                entries.append((str(n).zfill(width), "*" in flags, components, ",".join(req), ",".join(ex),
                                title.strip()))
    return entries, sorted(skipped)


def iso_codes(directory):
    def load(name, key):
        with open(os.path.join(directory, name), encoding="utf-8") as f:
            data = json.load(f)
        return sorted({row[key] for row in next(iter(data.values())) if key in row})
    return load("iso_3166-1.json", "numeric"), load("iso_3166-1.json", "alpha_2"), load("iso_4217.json", "numeric")


def notice(path):
    """The dictionary's own header: its copyright and licence lines."""
    lines, keep = [], False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("# Copyright"):
                keep = True
            if keep:
                if not line.startswith("#") or line.strip() == "#" and lines and lines[-1] == "//":
                    break
                lines.append("//" + line[1:].rstrip())
    while lines and lines[-1] == "//":
        lines.pop()
    return lines


def literal(codes):
    """Codes run together, as a string literal of lines of 96 characters."""
    text = "".join(codes)
    return "".join('\n    u"%s"' % text[i:i + 96] for i in range(0, len(text), 96)) + ";"


def main():
    dictionary = sys.argv[1] if len(sys.argv) > 1 else DICTIONARY
    entries, skipped = parse(dictionary)
    countries, alpha2, currencies = iso_codes(sys.argv[2] if len(sys.argv) > 2 else ISO_CODES)
    out = [
        "// clang-format off",
        "// Generated by tools/gs1/make_gs1_table.py from the GS1 Barcode Syntax",
        "// Dictionary and Debian's iso-codes: do not edit, regenerate (see the script).",
        "// Linters of the dictionary not checked here: " + (", ".join(skipped) or "none") + ".",
        "//",
        "// The table of AIs is taken from the GS1 Barcode Syntax Dictionary:",
        "//",
    ] + notice(dictionary) + [
        "",
        '#include "Gs1Table.h"',
        "",
        "namespace veltra::bench {",
        "",
        "const Gs1Component kGs1Components[] = {",
    ]
    rows, index, shapes = [], {}, []
    for ai, predefined, components, req, ex, title in entries:
        key = tuple((c[0], c[1], c[2], c[3], tuple(c[4])) for c in components)
        if key not in index:
            index[key] = sum(len(s) for s in shapes)
            shapes.append(key)
        rows.append((ai, predefined, index[key], len(components), req, ex, title))
    for shape in shapes:
        for cset, low, high, optional, lints in shape:
            mask = " | ".join("Gs1Lint::" + n for n in lints) or "0"
            out.append("    {u'%s', %d, %d, %s, %s}," % (cset, low, high, "true" if optional else "false", mask))
    out += ["};", "", "const Gs1AiDefinition kGs1Ais[] = {"]
    for ai, predefined, first, count, req, ex, title in rows:
        out.append('    {u"%s", %s, %d, %d, u"%s", u"%s"},  // %s' %
                   (ai, "true" if predefined else "false", first, count, req, ex, title))
    out += [
        "};",
        "",
        "const size_t kGs1AiCount = sizeof kGs1Ais / sizeof kGs1Ais[0];",
        "",
        "// ISO 3166-1 numeric and alpha-2 country codes, ISO 4217 numeric currency codes.",
        "const char16_t kIso3166Numeric[] =" + literal(countries),
        "const char16_t kIso3166Alpha2[] =" + literal(alpha2),
        "const char16_t kIso4217Numeric[] =" + literal(currencies),
        "",
        "}  // namespace veltra::bench",
    ]
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
