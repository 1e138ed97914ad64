#!/usr/bin/env python3
"""Prints every test that was skipped in the given CTest runs, with its
reason, and fails when a skip was not expected.

A machine that cannot run some kinds of test declares them, by label, in
QUORVANE_EXPECTED_SKIPS (for example "wine guest"); any other skip fails
the run, so a test that quietly stopped running is never taken for a pass.

    report_skips.py BUILD_DIR:JUNIT_FILE...
"""

import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def labels_by_test(build_dir):
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    labels = {}
    for test in json.loads(listing).get("tests", []):
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                labels[test["name"]] = list(prop.get("value", []))
    return labels


def reason(case):
    """The line a skipping test gave for itself: one that says SKIP, else its last."""
    output = (case.findtext("system-out") or "").strip().splitlines()
    for line in output:
        if "SKIP" in line.upper():
            return line.strip()
    if output:
        return output[-1].strip()
    skipped = case.find("skipped")
    return (skipped.get("message") if skipped is not None else None) or "no reason given"


def skipped_cases(junit_file):
    for case in ElementTree.parse(junit_file).getroot().iter("testcase"):
        if case.find("skipped") is not None or case.get("status") in ("notrun", "disabled"):
            yield case


def main(runs):
    expected = set(os.environ.get("QUORVANE_EXPECTED_SKIPS", "").split())
    unexpected = 0
    lines = []
    for run in runs:
        build_dir, junit_file = run.split(":", 1)
        labels = labels_by_test(build_dir)
        for case in skipped_cases(junit_file):
            name = case.get("name")
            own = labels.get(name, [])
            declared = bool(expected.intersection(own))
            unexpected += not declared
            lines.append(f"  {'expected' if declared else 'NOT EXPECTED'}: {name} "
                         f"[{','.join(own) or 'no label'}] ({build_dir}): {reason(case)}")
    if not lines:
        print("Skipped tests: none.")
        return 0
    print(f"Skipped tests ({len(lines)}):")
    print("\n".join(lines))
    if unexpected:
        print(f"{unexpected} skip(s) this machine did not declare in QUORVANE_EXPECTED_SKIPS "
              f"(now: '{' '.join(sorted(expected))}'): the run fails. Install what the reason "
              "names, or declare the label if this machine cannot run that kind of test.")
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
