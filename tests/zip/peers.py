#!/usr/bin/env python3
"""Peer checks for the archive tests, with Python's zipfile.

peers.py test ARCHIVE [PASSWORD]        testzip; prints OK or the first bad entry
peers.py names ARCHIVE                  prints the entry names, one a line
peers.py extract ARCHIVE DIR [PASSWORD] extracts everything below DIR
peers.py make ARCHIVE DIR [zip64|bzip2] writes DIR's files (relative names)
peers.py make-stream64 ARCHIVE DIR       DIR's files named from "/", streamed with forced Zip64 fields,
                                        an archive comment and a comment per entry
peers.py damage ARCHIVE size|local|empty|tail damages the directory (see below)
peers.py make-duplicates ARCHIVE FILE   FILE's name twice, with old contents
peers.py comments ARCHIVE               prints the archive comment, then NAME COMMENT per entry
peers.py make-gaps ARCHIVE DIR           DIR's folders and files named from "/", a few unused bytes after
                                        each entry, the central directory in reverse order
peers.py raw ARCHIVE NAME               prints method, flags, compressed size, versions, extra ids
                                        (NAME as stored, or as its Unicode Path field gives it)
peers.py make-overlap ARCHIVE COUNT    one stored entry of 200 KiB and COUNT central headers that
                                        all point at it (an archive that unpacks to COUNT times its size)
peers.py make-owners ARCHIVE            entries of several hosts with modes, ids and owner names
                                        stored well and badly (see the table there)
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


def unicode_path(info):
    """The name in the Info-ZIP Unicode Path field (0x7075), or None."""
    extra = info.extra
    while len(extra) >= 4:
        fid, size = struct.unpack("<HH", extra[:4])
        if fid == 0x7075 and size >= 5:
            return extra[9:4 + size].decode("utf-8")
        extra = extra[4 + size:]
    return None


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
    elif cmd == "make-stream64":
        # names from "/", written to a stream with Zip64 fields forced, and comments
        with open(archive, "wb") as f, zipfile.ZipFile(Unseekable(f), "w", zipfile.ZIP_DEFLATED) as z:
            z.comment = "Sicherung der Schuldaten".encode()
            for root, dirs, files in os.walk(sys.argv[3]):
                dirs.sort()
                for name in dirs + sorted(files):
                    path = os.path.join(root, name)
                    info = zipfile.ZipInfo.from_file(path, os.path.relpath(path, "/"))
                    info.comment = ("Kommentar zu " + name).encode()
                    if info.is_dir():
                        z.writestr(info, b"")
                        continue
                    info.compress_type = zipfile.ZIP_DEFLATED
                    with open(path, "rb") as src, z.open(info, "w", force_zip64=True) as out:
                        out.write(src.read())
    elif cmd == "comments":
        with zipfile.ZipFile(archive) as z:
            print(z.comment.decode("utf-8", "replace"))
            for info in z.infolist():
                if info.comment:
                    print(info.filename, info.comment.decode("utf-8", "replace"))
    elif cmd == "damage":
        # the first entry's central header claims three times its compressed size,
        # or its local header another CRC-32; or the end record claims no entries;
        # or (tail) a local header lies last and reaches past the end
        data = bytearray(open(archive, "rb").read())
        kind = sys.argv[3]
        end = data.rfind(b"PK\x05\x06")
        central = struct.unpack_from("<I", data, end + 16)[0]
        if kind == "size":
            size = struct.unpack_from("<I", data, central + 20)[0]
            struct.pack_into("<I", data, central + 20, size * 3)
        elif kind == "local":
            offset = struct.unpack_from("<I", data, central + 42)[0]
            struct.pack_into("<I", data, offset + 14, struct.unpack_from("<I", data, offset + 14)[0] ^ 1)
        elif kind == "empty":
            data[end:] = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, 0, 0)
        elif kind == "tail":
            # the local header of the first entry without data once more, just before
            # the directory and taken for the entry's (sound so far), claiming extra
            # fields that reach past the file's end
            pos = central
            while struct.unpack_from("<I", data, pos + 20)[0] != 0:
                pos += 46 + sum(struct.unpack_from("<HHH", data, pos + 28))
            offset = struct.unpack_from("<I", data, pos + 42)[0]
            name_length, extra_length = struct.unpack_from("<HH", data, offset + 26)
            header = bytearray(data[offset:offset + 30 + name_length + extra_length])
            struct.pack_into("<H", header, 28, 0xFFFF)
            data[central:central] = header
            struct.pack_into("<I", data, pos + len(header) + 42, central)
            struct.pack_into("<I", data, end + len(header) + 16, central + len(header))
        open(archive, "wb").write(bytes(data))
    elif cmd == "make-overlap":
        count = int(sys.argv[3])
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as z:
            z.writestr(zipfile.ZipInfo("Noten.txt", (2024, 3, 15, 10, 0, 0)), b"Klasse Noten " * 15754)
        data = buffer.getvalue()
        end = data.rfind(b"PK\x05\x06")
        central_offset = struct.unpack_from("<I", data, end + 16)[0]
        header = data[central_offset:end]
        central = header * count
        eocd = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), central_offset, 0)
        open(archive, "wb").write(data[:central_offset] + central + eocd)
    elif cmd == "make-owners":
        def field(fid, data):
            return struct.pack("<HH", fid, len(data)) + data

        def ids(uid, gid, size=4):
            return field(0x7875, bytes([1, size]) + uid.to_bytes(size, "little") + bytes([size]) +
                         gid.to_bytes(size, "little"))

        def names(owner, group):
            return field(0x4256, bytes([1, len(owner)]) + owner + bytes([len(group)]) + group)

        rows = [  # name, host, external attributes, extra fields
            ("dos.txt", 0, 0x21, b""),
            ("dos-mode.txt", 0, (0o100640 << 16) | 0x20, b""),
            ("ntfs-dir/", 11, (0o40750 << 16) | 0x10, b""),
            ("ntfs-fifo.txt", 11, (0o10644 << 16) | 0x20, b""),
            ("link", 0, 0o120777 << 16, b""),
            ("unix.txt", 3, 0o100755 << 16, b""),
            ("unix-zero.txt", 3, 0, b""),
            ("ids.txt", 3, 0o100600 << 16, ids(1000, 100) + names(b"anna", b"users")),
            ("wide-ids.txt", 3, 0o100600 << 16, ids(2**32 + 1, 7, 8)),
            ("bad-names.txt", 3, 0o100600 << 16, names(b"\xff\xfe", b"staff")),
            ("short-ids.txt", 3, 0o100600 << 16, field(0x7875, bytes([1, 4, 1, 0]))),
            ("other-version.txt", 3, 0o100600 << 16, field(0x7875, bytes([2, 1, 5, 1, 5])) + field(0x4256, b"\x02\x01a\x01b")),
        ]
        with zipfile.ZipFile(archive, "w") as z:
            for name, host, external, extra in rows:
                info = zipfile.ZipInfo(name, (2024, 3, 15, 10, 0, 0))
                info.create_system = host
                info.external_attr = external
                info.extra = extra
                z.writestr(info, b"" if name.endswith("/") else name.encode())
        # zipfile gives an entry without attributes the mode 0600: "unix-zero.txt" gets
        # its zeros in its central header afterwards
        data = bytearray(open(archive, "rb").read())
        end = data.rfind(b"PK\x05\x06")
        at = struct.unpack_from("<I", data, end + 16)[0]
        while at < end:
            name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, at + 28)
            if data[at + 46:at + 46 + name_length] == b"unix-zero.txt":
                struct.pack_into("<I", data, at + 38, 0)
            at += 46 + name_length + extra_length + comment_length
        open(archive, "wb").write(bytes(data))
    elif cmd == "make-duplicates":
        # FILE twice under its name from "/", each time with old content
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
            for n in (1, 2):
                info = zipfile.ZipInfo(os.path.relpath(sys.argv[3], "/"), (2020, 1, 1, 0, 0, 0))
                z.writestr(info, "alter Stand %d" % n)
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
            # zipfile ignores the Unicode Path field; names are looked up through it too
            info = next(i for i in z.infolist() if sys.argv[3] in (i.filename, unicode_path(i)))
            ids = []
            extra = info.extra
            while len(extra) >= 4:
                ids.append("%04x" % int.from_bytes(extra[0:2], "little"))
                extra = extra[4 + int.from_bytes(extra[2:4], "little"):]
            print(info.compress_type, "%04x" % info.flag_bits, info.compress_size, info.create_version,
                  info.create_system, info.extract_version, ",".join(ids))


if __name__ == "__main__":
    main()
