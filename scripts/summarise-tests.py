#!/usr/bin/env python3
"""Sums up a test run: one line "N passed, N failed".

Usage: summarise-tests.py RESULTS_DIR CTEST_JUNIT.xml...

A ctest entry that ran a GoogleTest program counts its test cases (from the program's own
RESULTS_DIR/<entry>.xml); any other entry counts as one test. Set-up and clean-up entries
of fixtures count only when they fail. An entry that failed without a failing case in its
file (a crash, a hang) counts as one more failure.
"""
import os
import sys
import xml.etree.ElementTree as ET

FIXTURE_SUFFIXES = ("_start", "_stop")


def gtest_counts(path):
    root = ET.parse(path).getroot()
    total = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = sum(1 for case in root.iter("testcase") if case.find("skipped") is not None)
    return total - failed - skipped, failed


def main():
    results_dir = sys.argv[1]
    passed = failed = 0
    lines = []
    for junit in sys.argv[2:]:
        if not os.path.exists(junit):
            print("no results: %s" % junit)
            failed += 1
            continue
        for case in ET.parse(junit).getroot().iter("testcase"):
            name = case.get("name")
            status = case.get("status", "run")
            entry_failed = case.find("failure") is not None or status == "fail"
            fixture = name.endswith(FIXTURE_SUFFIXES)
            own = os.path.join(results_dir, name + ".xml")
            if os.path.exists(own) and not fixture:
                try:
                    p, f = gtest_counts(own)
                except ET.ParseError:
                    p, f = 0, 0
                if entry_failed and f == 0:
                    f = 1
            elif fixture:
                p, f = 0, (1 if entry_failed else 0)
            else:
                p, f = (0, 1) if entry_failed else (1, 0)
            passed += p
            failed += f
            if f:
                lines.append("FAILED: %s" % name)
    for line in lines:
        print(line)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
