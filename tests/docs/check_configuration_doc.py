#!/usr/bin/env python3
"""Checks that docs/configuration.md names every configuration key and
environment variable the sources under src/ read.

Usage: check_configuration_doc.py <repository root>

Keys are found in the calls that read them, with string literals as the
section and key; the INI file is the one the calls name or, for readers
bound to one file, the file named in that source file. A profile read that
passes its key through a function this script does not know fails the
check, so a new way of reading settings cannot slip past it.
"""

import pathlib
import re
import sys

INI_NAME = re.compile(r'"(config\d?\.ini)"')
CONSTANT = re.compile(r'constexpr\s+char\s+(\w+)\[\]\s*=\s*"([^"]*)"')
# The section a config1.ini reader uses: one per scanner, named at run time.
PER_SCANNER = "*"

# (pattern, how its groups map to (file, section, key)); None for the file
# means the one INI file the source file names.
READERS = [
    (re.compile(r'\bReadConfigInt\(\s*"([^"]+)",\s*"([^"]+)",\s*"([^"]+)"'),
     lambda m: (m[1], f'"{m[2]}"', m[3])),
    (re.compile(r'\b(?:ReadString|ReadInt)\(\s*"([^"]+)",\s*"([^"]+)"'),
     lambda m: (None, f'"{m[1]}"', m[2])),
    (re.compile(r'\bReadSecurityKey\(\s*"([^"]+)"'),
     lambda m: (None, '"security"', m[1])),
    (re.compile(r'\b(?:GetConfigString|GetConfigInt)\(\s*(\w+|"[^"]+"),\s*"([^"]+)"'),
     lambda m: (None, m[1], m[2])),
    (re.compile(r'\bKXBase_GetProfile(?:String|Int)\(\s*[^,]+,\s*(\w+|"[^"]+"),\s*"([^"]+)"'),
     lambda m: (None, m[1], m[2])),
    (re.compile(r'\bfile\.(?:String|Int)\(\s*"([^"]+)"'),
     lambda m: (None, PER_SCANNER, m[1])),
]
# Functions that forward their own section and key to the profile reads;
# their callers are matched above.
WRAPPERS = re.compile(
    r'\b(?:ReadConfigInt|ReadString|ReadInt|ReadSecurityKey|GetConfigString|'
    r'GetConfigInt|String|Int)\(\s*const\s+char\s*\*')
PROFILE_CALL = re.compile(r'\bKXBase_GetProfile(?:String|Int)\(\s*[^,]+,\s*[^,]+,\s*"')
# Calls only: the declarations and definitions name a return type first.
PROFILE_ANY = re.compile(r'(?<!int )\bKXBase_GetProfile(?:String|Int)\(')

ENV_READERS = [
    re.compile(r'\b(?:getenv|KXBase_GetEnvironment)\(\s*"(\w+)"'),
    re.compile(r'\bFolder\(\s*"(\w+)"'),
    re.compile(r'\bFolder\(\s*"\w+",\s*"(\w+)"'),
]


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def section_name(token, constants):
    if token.startswith('"'):
        return token.strip('"')
    return constants.get(token)


def scan_sources(src):
    keys, env, errors = set(), set(), []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        text = strip_comments(path.read_text(encoding="utf-8"))
        where = path.relative_to(src.parent)
        constants = dict(CONSTANT.findall(text))
        files = set(INI_NAME.findall(text))
        for pattern, fields in READERS:
            for match in pattern.finditer(text):
                ini, section, key = fields(match)
                if ini is None:
                    if len(files) != 1:
                        errors.append(f"{where}: cannot tell which INI file [{section}] {key} "
                                      f"is read from (file names seen: {sorted(files) or 'none'})")
                        continue
                    ini = next(iter(files))
                name = section_name(section, constants) if section != PER_SCANNER else section
                if name is None:
                    errors.append(f"{where}: section {section} of key {key} is not a string constant")
                    continue
                keys.add((ini, name, key, str(where)))
        forwarded = len(PROFILE_ANY.findall(text)) - len(PROFILE_CALL.findall(text))
        if forwarded > 0 and not WRAPPERS.search(text):
            errors.append(f"{where}: a profile read takes its key from a function this check "
                          "does not know; teach tests/docs/check_configuration_doc.py its callers")
        for pattern in ENV_READERS:
            for match in pattern.finditer(text):
                env.add((match[1], str(where)))
    return keys, env, errors


def parse_document(doc):
    """(file, section, key) triples under '## `file`' and '### `[section]`'
    headings, and the variables of the environment section."""
    keys, env = set(), set()
    ini = section = None
    in_environment = False
    for line in doc.read_text(encoding="utf-8").splitlines():
        heading = re.match(r'(#+)\s+(.*)', line)
        if heading:
            level, title = len(heading[1]), heading[2]
            if level == 2:
                named = re.search(r'`(config\d?\.ini)`', title)
                ini = named[1] if named else None
                section = PER_SCANNER
                in_environment = title.startswith("Environment variables")
            elif level == 3:
                named = re.search(r'`\[(\w+)\]`', title)
                section = named[1] if named else section
            continue
        row = re.match(r'\|\s*`([^`]+)`\s*\|', line)
        if not row:
            continue
        if in_environment:
            env.add(row[1])
        elif ini is not None:
            keys.add((ini, section, row[1]))
    return keys, env


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    doc = root / "docs" / "configuration.md"
    read_keys, read_env, problems = scan_sources(root / "src")
    if not read_keys or not read_env:
        problems.append("no configuration reads found under src/: the patterns no longer match "
                        "the code")
    documented_keys, documented_env = parse_document(doc)
    for ini, section, key, where in sorted(read_keys):
        if (ini, section, key) not in documented_keys:
            shown = "a scanner's section" if section == PER_SCANNER else f"[{section}]"
            problems.append(f"{where}: {ini} {shown} key '{key}' is missing from docs/configuration.md")
    for name, where in sorted(read_env):
        if name not in documented_env:
            problems.append(f"{where}: environment variable {name} is missing from "
                            "docs/configuration.md")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        return 1
    print(f"{len(read_keys)} key reads and {len(read_env)} environment reads are documented")
    return 0


if __name__ == "__main__":
    sys.exit(main())
