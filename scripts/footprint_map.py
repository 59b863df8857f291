#!/usr/bin/env python3
"""Sums a GNU ld map file by what brought the bytes in: each library and each object file,
biggest first. Debug sections, discarded sections and the import tables are left out."""
import collections
import os
import re
import sys

ENTRY = re.compile(r"^ (\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")


def contributions(path):
    by_object = collections.Counter()
    in_map = False
    pending = None  # a long section name printed alone on its line
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            if line.startswith("Linker script and memory map"):
                in_map = True
                continue
            if not in_map:
                continue
            if re.match(r"^ \S+$", line.rstrip("\n")):
                pending = line.strip()
                continue
            match = ENTRY.match(line.rstrip("\n"))
            section = (match.group(1) if match and match.group(1) else pending) if match else None
            pending = None
            if not match or section is None or section.startswith((".debug", ".idata", "*")):
                continue
            size = int(match.group(2), 16)
            if size:
                by_object[match.group(3)] += size
    return by_object


def short(name):
    archive = re.match(r"(.*?)\((.*)\)$", name)
    if archive:
        return os.path.basename(archive.group(1)), archive.group(2)
    return os.path.basename(name), None


def main():
    by_object = contributions(sys.argv[1])
    by_library = collections.Counter()
    for name, size in by_object.items():
        by_library[short(name)[0]] += size
    print(f"  {sum(by_object.values()):>8}  all code and data")
    for library, size in by_library.most_common(6):
        print(f"  {size:>8}  {library}")
    print("  biggest objects:")
    for name, size in by_object.most_common(12):
        library, member = short(name)
        print(f"  {size:>8}  {library}({member})" if member else f"  {size:>8}  {library}")


if __name__ == "__main__":
    main()
