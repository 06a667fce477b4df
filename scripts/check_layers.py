#!/usr/bin/env python3
"""Fails when a source file includes a header of a floor above its own, or a
system header of Linux outside src/platform/posix/.

The floors, bottom to top (docs/ARCHITECTURE.md):
  platform, base, formats, platform/posix, settings, audit, report,
  diagnostics, ui, app
Only app (the composition root) may include platform/posix/ headers from
above; every floor may include its own and those below.

  scripts/check_layers.py [SOURCE_DIR]    (default: src beside this script)
"""
import os
import re
import sys

FLOORS = ["platform", "base", "formats", "platform/posix", "settings", "audit",
          "report", "diagnostics", "ui", "app"]

# Headers of the C library and of POSIX/Linux that are not part of standard C++.
LINUX_HEADER = re.compile(
    r"^(unistd|fcntl|signal|pthread|dlfcn|link|pwd|grp|poll|termios|syslog|ucontext|"
    r"locale|wctype|strings|dirent|mntent|netdb|elf|execinfo|spawn|sched|semaphore|"
    r"sys/.*|linux/.*|netinet/.*|arpa/.*|attr/.*)\.h$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def floor_of(path):
    """The floor of a path relative to src/, or None."""
    if path.startswith("platform/posix/"):
        return "platform/posix"
    top = path.split("/", 1)[0]
    return top if top in FLOORS else None


def check(src):
    rank = {name: i for i, name in enumerate(FLOORS)}
    problems = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, src).replace(os.sep, "/")
            own = floor_of(rel)
            if own is None:
                problems.append(f"{rel}: not in any floor")
                continue
            with open(full, encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    kind, header = match.groups()
                    where = f"{rel}:{number}: "
                    if kind == "<":
                        if LINUX_HEADER.match(header) and own != "platform/posix":
                            problems.append(where + f"<{header}> is a Linux header; "
                                            "only platform/posix/ may use it")
                        continue
                    target = floor_of(header)
                    if target is None:
                        continue  # generated or tool headers
                    if target == "platform/posix" and own not in ("platform/posix", "app"):
                        problems.append(where + f'"{header}": only platform/posix/ and app/ '
                                        "may include the Linux implementations")
                    elif rank[target] > rank[own] and not (target == "platform/posix" and own == "app"):
                        problems.append(where + f'"{header}" is on floor {target}, above {own}')
    return problems


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src")
    problems = check(src)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) break the floors", file=sys.stderr)
        return 1
    print("every include keeps to the floors")
    return 0


if __name__ == "__main__":
    sys.exit(main())
