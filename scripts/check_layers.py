#!/usr/bin/env python3
"""Fails when the sources, the tests or the build break the floors
(docs/ARCHITECTURE.md):

- a source file includes a header of a floor above its own, a Linux system
  header outside src/platform/posix/, or platform/posix/ from above (only app,
  the composition root, may);
- a test file in tests/<floor>/ includes a header of a floor above its own,
  directly or through a header of tests/support/;
- a floor's library in src/CMakeLists.txt links a floor's library that none of
  its files uses, or leaves out one they use (it would not link alone).

A floor uses the floors of the headers its files include; a file that
includes a platform/ header whose functions are defined in platform/posix/
(POSIX_BACKED) uses posix too. Programs' main files (*_main.cpp) are not part
of their floor's library.

  scripts/check_layers.py [SOURCE_DIR [TESTS_DIR]]
      (default: src and tests beside this script)
"""
import os
import re
import sys

FLOORS = ["platform", "base", "formats", "platform/posix", "settings", "audit",
          "report", "diagnostics", "ui", "app"]
RANK = {name: i for i, name in enumerate(FLOORS)}

# Declared in platform/, defined in platform/posix/: using one links posix.
POSIX_BACKED = {
    "platform/accounts.h", "platform/crash_translator.h", "platform/event_log.h",
    "platform/exclusive_file.h", "platform/folders.h", "platform/message_files.h",
    "platform/named_mutex.h", "platform/system_facts.h",
}

# Headers of the C library and of POSIX/Linux that are not part of standard C++.
LINUX_HEADER = re.compile(
    r"^(unistd|fcntl|signal|pthread|dlfcn|link|pwd|grp|poll|termios|syslog|ucontext|"
    r"locale|wctype|strings|dirent|mntent|netdb|elf|execinfo|spawn|sched|semaphore|"
    r"sys/.*|linux/.*|netinet/.*|arpa/.*|attr/.*)\.h$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
LINKS = re.compile(r"target_link_libraries\(\s*(vzrm_\w+)\s+(?:PUBLIC|PRIVATE|INTERFACE)?([^)]*)\)")
# Folders of tests/ that belong to no floor: the fixtures of this check, the
# packaging scripts; fuzz and regress drive the whole program.
TEST_TOPS = {"fuzz": "app", "regress": "app"}
TEST_SKIPPED = {"layering", "package", "support"}


def floor_of(path):
    """The floor of a path relative to src/ (or of an included header), or None."""
    if path.startswith("platform/posix/"):
        return "platform/posix"
    top = path.split("/", 1)[0]
    return top if top in FLOORS else None


def target_of(floor):
    return "vzrm_" + floor.split("/")[-1]


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as text:
        for number, line in enumerate(text, 1):
            match = INCLUDE.match(line)
            if match:
                yield number, match.group(1), match.group(2)


def source_files(root):
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                full = os.path.join(folder, name)
                yield full, os.path.relpath(full, root).replace(os.sep, "/")


def used_floors(header, own):
    """The floors an include of `header` makes a file of floor `own` use."""
    floor = floor_of(header)
    if floor is None:
        return set()
    if header in POSIX_BACKED and own != "platform":
        return {floor, "platform/posix"} - {own}
    return {floor} - {own}


def check_sources(src, uses):
    problems = []
    for full, rel in source_files(src):
        own = floor_of(rel)
        if own is None:
            problems.append(f"{rel}: not in any floor")
            continue
        in_library = not rel.endswith("_main.cpp")
        for number, kind, header in includes(full):
            where = f"{rel}:{number}: "
            if kind == "<":
                if LINUX_HEADER.match(header) and own != "platform/posix":
                    problems.append(where + f"<{header}> is a Linux header; "
                                    "only platform/posix/ may use it")
                continue
            target = floor_of(header)
            if target is None:
                continue  # generated or tool headers
            if in_library:
                uses.setdefault(own, set()).update(used_floors(header, own))
            if target == "platform/posix" and own not in ("platform/posix", "app"):
                problems.append(where + f'"{header}": only platform/posix/ and app/ '
                                "may include the Linux implementations")
            elif RANK[target] > RANK[own] and not (target == "platform/posix" and own == "app"):
                problems.append(where + f'"{header}" is on floor {target}, above {own}')
    return problems


def check_links(src, uses):
    """Each floor's library links exactly the floors its files use."""
    cmake = os.path.join(src, "CMakeLists.txt")
    if not os.path.exists(cmake):
        return []
    with open(cmake, encoding="utf-8") as text:
        content = re.sub(r"#[^\n]*", "", text.read())
    links = {}
    for target, rest in LINKS.findall(content):
        links.setdefault(target, set()).update(
            name for name in rest.split() if name.startswith("vzrm_"))
    problems = []
    for floor in FLOORS:
        target = target_of(floor)
        if target not in links and floor not in uses:
            continue
        linked = links.get(target, set())
        wanted = {target_of(used) for used in uses.get(floor, set())}
        floor_targets = {target_of(other) for other in FLOORS}
        for extra in sorted((linked & floor_targets) - wanted):
            problems.append(f"CMakeLists.txt: {target} links {extra}, which no file of "
                            f"{floor}/ uses")
        for missing in sorted(wanted - linked):
            problems.append(f"CMakeLists.txt: {target} does not link {missing}, which "
                            f"{floor}/ uses: it cannot link alone")
    return problems


def test_floor(rel):
    """The floor a test file under tests/ belongs to, or None when unchecked."""
    parts = rel.split("/")
    if len(parts) < 2 or parts[0] in TEST_SKIPPED:
        return None
    if parts[0] in TEST_TOPS:
        return TEST_TOPS[parts[0]]
    if parts[0] == "platform" and len(parts) > 2 and parts[1] == "posix":
        return "platform/posix"
    return parts[0] if parts[0] in FLOORS else None


def support_floors(tests):
    """The highest floor each header of tests/support/ reaches, through its includes."""
    support = os.path.join(tests, "support")
    reach = {}

    def reach_of(name, seen):
        if name in reach:
            return reach[name]
        path = os.path.join(tests, name)
        best = None
        if os.path.exists(path) and name not in seen:
            for _, kind, header in includes(path):
                if kind != '"':
                    continue
                below = reach_of(header, seen | {name}) if header.startswith("support/") \
                    else floor_of(header)
                if below is not None and (best is None or RANK[below] > RANK[best]):
                    best = below
        reach[name] = best
        return best

    if os.path.isdir(support):
        for name in sorted(os.listdir(support)):
            reach_of("support/" + name, set())
    return reach


def check_tests(tests):
    problems = []
    reach = support_floors(tests)
    for full, rel in source_files(tests):
        own = test_floor(rel)
        if own is None:
            continue
        for number, kind, header in includes(full):
            if kind != '"':
                continue
            target = reach.get(header) if header.startswith("support/") else floor_of(header)
            if target is not None and RANK[target] > RANK[own]:
                through = " (through tests/support/)" if header.startswith("support/") else ""
                problems.append(f"tests/{rel}:{number}: \"{header}\" is on floor {target}"
                                f"{through}, above {own}")
    return problems


def check(src, tests=None):
    uses = {}
    problems = check_sources(src, uses)
    problems += check_links(src, uses)
    if tests is not None and os.path.isdir(tests):
        problems += check_tests(tests)
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    tests = sys.argv[2] if len(sys.argv) > 2 else (
        None if len(sys.argv) > 1 else os.path.join(here, "..", "tests"))
    problems = check(src, tests)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) or link(s) break the floors", file=sys.stderr)
        return 1
    print("every include and link keeps to the floors")
    return 0


if __name__ == "__main__":
    sys.exit(main())
