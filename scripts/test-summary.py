#!/usr/bin/env python3
"""Sums the test results below a directory and prints them, the total alone on the last line.

Each subdirectory is one stage. It holds GoogleTest XML files (<testsuites> roots) and, for
stages run by ctest, ctest's JUnit file (a <testsuite> root). A test process that crashed
writes no GoogleTest XML, so a stage counts at least as many failures as ctest saw.

usage: test-summary.py RESULTS_DIR [--expect STAGE]... [--broken STAGE]...
  --expect STAGE  the stage must have results; without any it counts as one failure
  --broken STAGE  the stage failed; without failed tests to show it counts as one failure
Exit status: 0 when nothing failed.
"""
import argparse
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(root):
    passed = failed = skipped = 0
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.get("result") == "skipped" or case.get("status") == "notrun" \
                or case.find("skipped") is not None:
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def ctest_failures(root):
    return sum(1 for case in root.iter("testcase")
               if case.get("status") == "fail" or case.find("failure") is not None)


def stage_counts(path):
    passed = failed = skipped = ctest_failed = 0
    files = 0
    for name in sorted(os.listdir(path)):
        if not name.endswith(".xml"):
            continue
        try:
            root = ET.parse(os.path.join(path, name)).getroot()
        except ET.ParseError:
            failed += 1  # a file cut off by a crash
            continue
        if root.tag == "testsuites":
            p, f, s = gtest_counts(root)
            passed, failed, skipped = passed + p, failed + f, skipped + s
            files += 1
        elif root.tag == "testsuite":
            ctest_failed += ctest_failures(root)
    return passed, max(failed, ctest_failed), skipped, files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("results")
    parser.add_argument("--expect", action="append", default=[])
    parser.add_argument("--broken", action="append", default=[])
    args = parser.parse_args()

    stages = sorted(set(
        [d for d in os.listdir(args.results) if os.path.isdir(os.path.join(args.results, d))]
        if os.path.isdir(args.results) else []) | set(args.expect) | set(args.broken))
    total = [0, 0, 0]
    for stage in stages:
        path = os.path.join(args.results, stage)
        passed, failed, skipped, files = stage_counts(path) if os.path.isdir(path) else (0, 0, 0, 0)
        note = ""
        if stage in args.expect and files == 0:
            failed, note = max(failed, 1), " (no results)"
        if stage in args.broken and failed == 0:
            failed, note = 1, note or " (did not finish)"
        print(f"  {stage}: {passed} passed, {failed} failed"
              + (f", {skipped} skipped" if skipped else "") + note)
        total = [total[0] + passed, total[1] + failed, total[2] + skipped]

    line = f"{total[0]} passed, {total[1]} failed"
    if total[2]:
        line += f", {total[2]} skipped"
    print(line)
    return 1 if total[1] else 0


if __name__ == "__main__":
    sys.exit(main())
