#!/usr/bin/env python3
"""Line and branch coverage of the module, per file and per folder, from the
gcov data that a KESTROM_COVERAGE build left after its test suite ran.

    tools/coverage_report.py BUILD-DIR [--lines PCT] [--branches PCT]

Exits 1 when a folder falls short of either figure (95% of lines and 85% of
branches unless told otherwise).  Branches the compiler adds for exceptions
and branches on lines without code are not counted."""
import argparse
import json
import os
import subprocess
import sys

FOLDERS = ["core", "limits", "commands", "rooms", "pages", "params"]


def gcovr_summary(root, build):
    """gcovr's JSON summary of the module's sources."""
    command = ["gcovr", "--root", root, build, "--json-summary",
               "--exclude-throw-branches", "--exclude-unreachable-branches"]
    for folder in FOLDERS:
        command += ["--filter", folder + "/"]
    return json.loads(subprocess.run(command, check=True, capture_output=True, text=True).stdout)


def percent(covered, total):
    return 100.0 * covered / total if total else 100.0


def row(name, lines, line_total, branches, branch_total):
    return (f"{name:<32} {lines:>5}/{line_total:<5} {percent(lines, line_total):6.1f}%"
            f"   {branches:>5}/{branch_total:<5} {percent(branches, branch_total):6.1f}%")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--lines", type=float, default=95.0)
    parser.add_argument("--branches", type=float, default=85.0)
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    summary = gcovr_summary(root, os.path.abspath(args.build))

    totals = {folder: [0, 0, 0, 0] for folder in FOLDERS}
    print(f"{'file':<32} {'lines':>19}   {'branches':>19}")
    for f in sorted(summary["files"], key=lambda f: f["filename"]):
        counts = [f["line_covered"], f["line_total"], f["branch_covered"], f["branch_total"]]
        print(row(f["filename"], *counts))
        folder = totals[f["filename"].split("/")[0]]
        for i, n in enumerate(counts):
            folder[i] += n

    print()
    short = []
    for folder, (lines, line_total, branches, branch_total) in totals.items():
        print(row(folder + "/", lines, line_total, branches, branch_total))
        if percent(lines, line_total) < args.lines or percent(branches, branch_total) < args.branches:
            short.append(folder)
    print(row("module", *(sum(t[i] for t in totals.values()) for i in range(4))))
    if short:
        print(f"coverage: below {args.lines:g}% of lines or {args.branches:g}% of branches in "
              + ", ".join(short))
        return 1
    print(f"coverage: every folder has at least {args.lines:g}% of lines and "
          f"{args.branches:g}% of branches")
    return 0


if __name__ == "__main__":
    sys.exit(main())
