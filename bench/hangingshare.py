#!/usr/bin/python3
"""A file system whose files can be listed and opened but whose reads never return, as on a
network share that stopped answering: hangingshare.py SOURCE_FOLDER MOUNT_POINT (foreground; end
it with fusermount -u MOUNT_POINT). Needs python3-fusepy."""
import errno
import os
import stat
import sys
import threading

from fusepy import FUSE, Operations


class HangingShare(Operations):
    def __init__(self, source):
        self.source = source

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        try:
            info = os.stat(self.source + path)
        except FileNotFoundError:
            raise OSError(errno.ENOENT, path)
        return {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": info.st_size,
                "st_mtime": info.st_mtime, "st_atime": info.st_atime, "st_ctime": info.st_ctime}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.source)

    def open(self, path, flags):
        return 0

    def read(self, path, size, offset, fh):
        threading.Event().wait()


if __name__ == "__main__":
    FUSE(HangingShare(sys.argv[1]), sys.argv[2], foreground=True)
