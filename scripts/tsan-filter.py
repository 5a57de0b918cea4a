#!/usr/bin/env python3
"""Reads ThreadSanitizer reports and keeps those in which the racing access is our own code.

Qt, GLib and the fonts come from Debian uninstrumented: the checker sees memory they hand
between threads (their events, their allocations, copies and frees of what we gave them) but not
the locks that order it, and reports those. A report counts here when the access at the top of
either stack is in this repository's sources; the others are printed as a count only.
Exit status 1 when any report counts."""
import re
import sys

OURS = re.compile(r"\.\./(app|serial|protocol|monitor|host|firmware|sim|cli|tests)/")
text = sys.stdin.read()
reports = text.split("WARNING: ThreadSanitizer")[1:]
counted = []
for report in reports:
    sections = re.split(r"\n\s*\n", report)
    tops = []
    for section in sections:
        frame = re.search(r"^\s+#0 (.*)$", section, re.M)
        if frame and ("Previous" in section or "by thread" in section or "by main thread" in section):
            tops.append(frame.group(1))
    if any(OURS.search(top) for top in tops[:2]):
        counted.append(report)
for report in counted:
    print("WARNING: ThreadSanitizer" + report.split("SUMMARY")[0])
print(f"thread checker: {len(counted)} report(s) in our code, "
      f"{len(reports) - len(counted)} inside uninstrumented libraries")
sys.exit(1 if counted else 0)
