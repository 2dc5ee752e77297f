#!/usr/bin/python3
"""Keep debian/control's Build-Depends in step with tools/debian-packages.txt, the one list of
what Corvalo needs.

Build-Depends is that list less the packaging section (debhelper comes in as debhelper-compat)
and less what neither the build nor its tests use. The run-time Depends and Recommends that the
linker cannot see must name packages of the list too.

  debian_control.py          check, exit 1 and say what differs
  debian_control.py --write  rewrite the Build-Depends field
"""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
LIST = os.path.join(ROOT, "tools", "debian-packages.txt")
CONTROL = os.path.join(ROOT, "debian", "control")

NOT_FOR_BUILDING = {
    "build-essential": "every Debian build has it",
    "clang-format": "formatting by hand",
    "xauth": "tools/start.sh's virtual display",
    "librsvg2-bin": "assets/render.sh; the pictures are committed",
    "clang": "the engine fuzzer, which CI runs",
    "libclang-rt-14-dev": "the engine fuzzer, which CI runs",
    "libc6-dbg": "names in the sanitizer run's reports, which its suppressions match",
}


def listed():
    """Packages of the list as (name, section heading)."""
    section = ""
    for line in open(LIST):
        line = line.strip()
        if line.startswith("#"):
            section = line
        elif line:
            yield line, section


def build_depends():
    return ["debhelper-compat (= 13)"] + [
        name for name, section in listed()
        if "packaging" not in section and name not in NOT_FOR_BUILDING]


def field(text, name):
    m = re.search(r"^%s:(.*(?:\n[ \t].*)*)" % name, text, re.M)
    return m, [p.strip() for p in m.group(1).replace("\n", " ").split(",") if p.strip()] if m else []


def main(argv):
    text = open(CONTROL).read()
    wanted = build_depends()
    m, have = field(text, "Build-Depends")
    if "--write" in argv:
        text = text[:m.start()] + "Build-Depends:\n " + ",\n ".join(wanted) + ",\n" + text[m.end() + 1:]
        open(CONTROL, "w").write(text)
        return 0
    problems = []
    if have != wanted:
        problems.append("Build-Depends differs from tools/debian-packages.txt:\n  missing %s\n  extra %s\n"
                        "  run tools/debian_control.py --write" % (
                            [p for p in wanted if p not in have], [p for p in have if p not in wanted]))
    names = {name for name, _ in listed()}
    for relation in ("Depends", "Recommends"):
        _, depends = field(text, relation)
        for dep in depends:
            name = dep.split()[0]
            if not name.startswith("${") and name not in names:
                problems.append("%s names %s, which tools/debian-packages.txt does not list"
                                % (relation, name))
    print("\n".join(problems) or "debian/control agrees with tools/debian-packages.txt (%d build dependencies)"
          % len(wanted))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
