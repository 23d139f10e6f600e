#!/usr/bin/env python3
"""Peer checks for the archive tests, with Python's zipfile.

peers.py test ARCHIVE [PASSWORD]        testzip; prints OK or the first bad entry
peers.py names ARCHIVE                  prints the entry names, one a line
peers.py extract ARCHIVE DIR [PASSWORD] extracts everything below DIR
peers.py make ARCHIVE DIR [zip64|bzip2] writes DIR's files (relative names)
peers.py make-gaps ARCHIVE DIR           DIR's folders and files named from "/", a few unused bytes after
                                        each entry, the central directory in reverse order
peers.py raw ARCHIVE NAME               prints method, flags, compressed size, extra ids
peers.py make-upath ARCHIVE             two deflated entries written as a stream (so with
                                        data descriptors), the first with a Unicode Path field
"""
import io
import os
import struct
import sys
import zipfile
import zlib


class Unseekable(io.RawIOBase):
    """A file zipfile cannot seek in: every entry gets a data descriptor."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


def main():
    cmd, archive = sys.argv[1], sys.argv[2]
    if cmd == "test":
        with zipfile.ZipFile(archive) as z:
            if len(sys.argv) > 3:
                z.setpassword(sys.argv[3].encode("cp1252"))
            bad = z.testzip()
            print("OK" if bad is None else "BAD " + bad)
    elif cmd == "names":
        with zipfile.ZipFile(archive) as z:
            for info in z.infolist():
                print(info.filename)
    elif cmd == "extract":
        with zipfile.ZipFile(archive) as z:
            pwd = sys.argv[4].encode("cp1252") if len(sys.argv) > 4 else None
            z.extractall(sys.argv[3], pwd=pwd)
    elif cmd == "make":
        mode = sys.argv[4] if len(sys.argv) > 4 else ""
        method = zipfile.ZIP_BZIP2 if mode == "bzip2" else zipfile.ZIP_DEFLATED
        with zipfile.ZipFile(archive, "w", method) as z:
            for root, dirs, files in os.walk(sys.argv[3]):
                dirs.sort()
                for name in sorted(files):
                    path = os.path.join(root, name)
                    rel = os.path.relpath(path, sys.argv[3])
                    with open(path, "rb") as f, z.open(rel, "w", force_zip64=(mode == "zip64")) as out:
                        out.write(f.read())
    elif cmd == "make-upath":
        raw = b"Liste2.txt"
        field = b"\x01" + struct.pack("<I", zlib.crc32(raw)) + raw
        upath = struct.pack("<HH", 0x7075, len(field)) + field
        with open(archive, "wb") as f, zipfile.ZipFile(Unseekable(f), "w") as z:
            for name, extra in ((raw.decode(), upath), ("Liste.txt", b"")):
                info = zipfile.ZipInfo(name, (2024, 3, 15, 10, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                info.extra = extra
                z.writestr(info, b"Klasse Noten " * 1000)
    elif cmd == "make-gaps":
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            for root, dirs, files in os.walk(sys.argv[3]):
                dirs.sort()
                for name in dirs + sorted(files):
                    path = os.path.join(root, name)
                    z.write(path, os.path.relpath(path, "/"))
                    z.fp.write(b"\0" * 7)
            z.filelist.reverse()
    elif cmd == "raw":
        with zipfile.ZipFile(archive) as z:
            info = z.getinfo(sys.argv[3])
            ids = []
            extra = info.extra
            while len(extra) >= 4:
                ids.append("%04x" % int.from_bytes(extra[0:2], "little"))
                extra = extra[4 + int.from_bytes(extra[2:4], "little"):]
            print(info.compress_type, "%04x" % info.flag_bits, info.compress_size, info.create_version,
                  info.create_system, info.extract_version, ",".join(ids))


if __name__ == "__main__":
    main()
