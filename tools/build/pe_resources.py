#!/usr/bin/env python3
"""Reads the resources of a PE file and checks those the installer must carry.

    pe_resources.py <exe> [--manifest resources/manifest.xml]   # prints them; exit 1 on a mismatch
"""
import argparse
import struct
import sys

import pefile

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]


def resources(path):
    """{(type, id): bytes} of every resource with numeric type and id (first language)."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            if rtype.id is None or rid.id is None:
                continue
            leaf = rid.directory.entries[0].data.struct
            found[(rtype.id, rid.id)] = pe.get_data(leaf.OffsetToData, leaf.Size)
    return found


def version_strings(blob):
    text = blob.decode("utf-16-le", "replace")
    out = {}
    for key in ("CompanyName", "ProductName", "FileVersion"):
        at = text.find(key)
        if at >= 0:
            rest = text[at + len(key):].lstrip("\0")
            out[key] = rest.split("\0", 1)[0]
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--manifest")
    args = parser.parse_args()
    res = resources(args.exe)
    problems = []

    manifest = res.get((RT_MANIFEST, 1), b"")
    print(f"manifest 1: {len(manifest)} bytes")
    if args.manifest and manifest != open(args.manifest, "rb").read():
        problems.append("manifest 1 differs from the source")

    group = res.get((RT_GROUP_ICON, 101), b"")
    count = struct.unpack_from("<H", group, 4)[0] if len(group) >= 6 else 0
    sizes, depths = [], []
    for k in range(count):
        w, h, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + k * 14)
        sizes.append(w or 256)
        depths.append(bits)
        if (RT_ICON, ident) not in res:
            problems.append(f"icon image {ident} missing")
    print(f"icon group 101: {count} images, sizes {sizes}, bits {sorted(set(depths))}")
    if sizes != ICON_SIZES or set(depths) != {32}:
        problems.append("icon group 101 is not nine 32-bit images of 16..256 px")

    version = res.get((RT_VERSION, 1), b"")
    fixed = version.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        problems.append("no version information")
    else:
        ms, ls, pms, pls = struct.unpack_from("<IIII", version, fixed + 8)
        file_type = struct.unpack_from("<I", version, fixed + 36)[0]
        file_version = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
        strings = version_strings(version)
        translation = "040904b0" in version.decode("utf-16-le", "replace").lower()
        print(f"version: file {file_version}, product {pms}.{pls}, type {file_type}, strings {strings},"
              f" table 0409/1200 {translation}")
        if (file_version != "0.2.135.0" or (pms, pls) != (0, 0) or file_type != 1 or not translation
                or strings.get("FileVersion") != "0.2.135" or not strings.get("CompanyName")
                or not strings.get("ProductName")):
            problems.append("version information is not as required")

    marker = res.get((RT_RCDATA, 516))
    print(f"data 516: {marker!r}")
    if marker != b"VAQ_SETUP_INTERACTIVE_V3":
        problems.append("data resource 516 is not the 24-byte marker")

    for problem in problems:
        print("pe_resources:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
