#!/usr/bin/env python3
"""Writes a work file of N desktop windows over the reels of a database.

    make-work.py DBDIR N OUT

Each window shows one whole reel of DBDIR/SVJ (the readable ones, taken in
turn); names are stored relative to the database, with the reel's time and
size, so the program loads the work without warnings. The frame counts come
from `svjtool info` ($SVJTOOL, else svjtool on PATH). Used by the crash check
scripts/crash-exit-save.sh.
"""
import os
import struct
import subprocess
import sys
import time


def word(v):
    return struct.pack(">i", v)


def frames_of(svjtool, path):
    run = subprocess.run([svjtool, "info", path], capture_output=True, text=True)
    if run.returncode != 0:
        return None
    for line in run.stdout.splitlines():
        key, _, value = line.partition(" ")
        if key == "frames":
            return int(value)
    return None


def main():
    if len(sys.argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    db, n, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    svjtool = os.environ.get("SVJTOOL", "svjtool")
    reels = []
    for name in sorted(os.listdir(os.path.join(db, "SVJ"))):
        count = frames_of(svjtool, os.path.join(db, "SVJ", name)) if name.endswith(".svj") else None
        if count:
            reels.append((name, count))
    if not reels or not 1 <= n <= 1000:
        sys.stderr.write("make-work.py: no readable reel, or N outside 1..1000\n")
        return 1
    body = bytearray(b"Vek Dulsar Orva 0002\0")
    body += word(n) + b"".join(word(1) for _ in range(n))
    for i in range(n):
        name, total = reels[i % len(reels)]
        image = [0] * 42
        image[0], image[1], image[6] = 180, 144, i  # width, height, slot
        image[10], image[11] = total - 1, total  # out, total
        body += b"".join(word(v) for v in image)
        title = name.encode() + b"\0"
        body += word(len(title)) + title
        body += b"".join(word(v) for v in (0, total - 1, 0, 0, 1, 0, 0, 0, 0))
        body += b"\0"  # a reel
        body += word(len(name.encode())) + name.encode() + b"\0"
        st = os.stat(os.path.join(db, "SVJ", name))
        body += (time.ctime(st.st_mtime) + "\n").encode() + b"\0"
        body += struct.pack(">I", st.st_size & 0xFFFFFFFF)
    with open(out, "wb") as f:
        f.write(body)
    return 0


if __name__ == "__main__":
    sys.exit(main())
