"""Adds up GoogleTest's per-case results, and counts a test program that
failed without reporting any failed case (a crash, a time-out) as one failure."""
import os
import sys
import xml.etree.ElementTree as ET

results, trees = sys.argv[1], sys.argv[2:]
passed = failed = skipped = 0
for tree in trees:
    cases = {}
    folder = os.path.join(results, tree)
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        if not name.endswith(".xml"):
            continue
        try:
            root = ET.parse(os.path.join(folder, name)).getroot()
        except ET.ParseError:
            continue
        t = int(root.get("tests", 0))
        f = int(root.get("failures", 0)) + int(root.get("errors", 0))
        s = int(root.get("skipped", 0)) + int(root.get("disabled", 0))
        cases[os.path.splitext(name)[0]] = f
        passed += t - f - s
        failed += f
        skipped += s
    junit = os.path.join(results, tree + ".ctest.xml")
    if os.path.exists(junit):
        for case in ET.parse(junit).getroot().iter("testcase"):
            name = case.get("name")
            bad = case.get("status") == "fail" or case.find("failure") is not None
            if name in cases:
                if bad and cases[name] == 0:
                    failed += 1
            elif bad:
                failed += 1
            elif case.get("status") == "notrun" or case.find("skipped") is not None:
                skipped += 1  # e.g. a 32-bit test where no 32-bit program can start
            else:
                passed += 1  # a test without GoogleTest output
line = f"{passed} passed, {failed} failed"
if skipped:
    line += f", {skipped} skipped"
print(line)
sys.exit(1 if failed else 0)
