#!/usr/bin/python3
"""Install the build into a staging folder (DESTDIR) and check what lands where.

check_install.py BUILD_DIR PREFIX BINDIR PLUGINDIR DATADIR MANDIR APP_ID
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main(build, prefix, bindir, plugindir, datadir, mandir, app_id):
    problems = []
    staging = tempfile.mkdtemp(prefix="corvalo-install-")
    try:
        # --strip: the debug sections name the build tree by design; the installed program must not.
        subprocess.run(["cmake", "--install", build, "--strip"], check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, DESTDIR=staging))
        root = staging + prefix

        def at(*parts):
            return os.path.join(root, *parts)

        def need(cond, what):
            if not cond:
                problems.append(what)

        program = at(bindir, "corvalo")
        need(os.access(program, os.X_OK), "no program at " + program)
        plugins = sorted(f for f in os.listdir(at(plugindir)) if f.endswith(".so")) \
            if os.path.isdir(at(plugindir)) else []
        store = at(plugindir, "corvalo-store")
        need(os.access(store, os.X_OK), "no store program at " + store)
        need(not os.path.exists(at(bindir, "corvalo-store")), "the store program is on PATH")
        # The web engine is the store program's alone.
        for path in [program] + [at(plugindir, p) for p in plugins]:
            if os.path.isfile(path):
                needed = subprocess.run(["readelf", "-d", path], stdout=subprocess.PIPE, text=True).stdout
                need("WebEngine" not in needed, path + " links Qt WebEngine")
        libdir = os.path.dirname(at(plugindir))
        need(not [f for f in os.listdir(libdir) if f.startswith("libcorvalo")],
             "a plugin sits in the public library folder " + libdir)
        desktop = at(datadir, "applications", app_id + ".desktop")
        metainfo = at(datadir, "metainfo", app_id + ".metainfo.xml")
        need(os.path.isfile(desktop), "no desktop entry " + desktop)
        need(os.path.isfile(metainfo), "no metainfo " + metainfo)
        need(os.path.isfile(at(mandir, "man1", "corvalo.1")), "no manual page")
        for size in ICON_SIZES:
            png = at(datadir, "icons", "hicolor", "%dx%d" % (size, size), "apps", app_id + ".png")
            try:
                with open(png, "rb") as f:
                    head = f.read(24)
                need(head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (size, size),
                     "%s is not a %d x %d PNG" % (png, size, size))
            except OSError:
                problems.append("no %d x %d icon" % (size, size))
        need(os.path.isfile(at(datadir, "icons", "hicolor", "scalable", "apps", app_id + ".svg")),
             "no scalable icon")

        for tool, args in (("desktop-file-validate", [desktop]),
                           ("appstreamcli", ["validate", "--no-net", metainfo])):
            if shutil.which(tool) and os.path.isfile(args[-1]):
                run = subprocess.run([tool] + args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
                need(run.returncode == 0, "%s fails:\n%s" % (tool, run.stdout))
            else:
                print("skip: %s is not installed" % tool)

        tree = os.path.realpath(build).encode()
        for path in [program, store] + [at(plugindir, p) for p in plugins]:
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    need(tree not in f.read(), "%s holds the build tree's path %s" % (path, tree.decode()))
    finally:
        shutil.rmtree(staging)
    print("\n".join(problems) or "installed layout ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
