#!/usr/bin/env python3
"""Prints the closing line of scripts/test.sh from what its runs left in the results folder:
ctest's JUnit files, the other checks (checks.txt: name, passed or failed) and what was skipped, with why
(skipped.tsv: count, what, reason).

    test_summary.py <results folder>
"""
import glob
import os
import sys
import xml.etree.ElementTree as ElementTree


def main():
    folder = sys.argv[1]
    passed = failed = skipped = 0
    for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.find("skipped") is not None:
                skipped += 1
            else:
                passed += 1
    checks = os.path.join(folder, "checks.txt")
    if os.path.exists(checks):
        for line in open(checks):
            passed += line.split()[-1] == "passed"
            failed += line.split()[-1] == "failed"
    reasons = os.path.join(folder, "skipped.tsv")
    if os.path.exists(reasons):
        print("Skipped:")
        for line in open(reasons, encoding="utf-8"):
            count, what, why = line.rstrip("\n").split("\t")
            skipped += int(count)
            print(f"  {count} {what}: {why}")
    print(f"{passed} passed, {failed} failed, {skipped} skipped")


if __name__ == "__main__":
    main()
