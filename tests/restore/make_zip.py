#!/usr/bin/env python3
"""Writes a ZIP archive with exactly the entries given, for the restore tests.

make_zip.py OUT.zip ITEM...
  "folder/"            a folder entry
  "name:content"       a file entry
  "name:content:ro"    a file entry without write permission (Unix mode 0444)
  "name->target"       an entry holding a symbolic link (Unix mode 0120777)
  "name:N:zeros"       a file entry of N zero bytes (deflated)
  "name@PATH"          a file entry holding the bytes of the file PATH
  "name:content:claim=N"  a file entry whose headers claim N bytes uncompressed
  "name:content:mode=0640"  a file entry with that Unix mode
  "name:content:uid=N:gid=N"  with an Info-ZIP Unix owner field (0x7875)
  "name:content:nomode"  a file entry made on MS-DOS, with no Unix mode
Options after the content may be combined.
"""
import struct
import sys
import zipfile

out = sys.argv[1]
claims = {}
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for item in sys.argv[2:]:
        info_time = (2016, 10, 3, 14, 5, 8)
        if "->" in item:
            name, target = item.split("->", 1)
            info = zipfile.ZipInfo(name, info_time)
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            z.writestr(info, target)
        elif "@" in item:
            name, path = item.split("@", 1)
            info = zipfile.ZipInfo(name, info_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                z.writestr(info, f.read())
        elif item.endswith("/"):
            info = zipfile.ZipInfo(item, info_time)
            info.external_attr = 0o40755 << 16 | 0x10
            z.writestr(info, b"")
        else:
            drive = ""
            if len(item) > 2 and item[1] == ":" and item[0].isalpha() and item[2] in "/\\":
                drive, item = item[:2], item[2:]  # a drive before the name, as Windows tools write it
            parts = item.split(":")
            name, content = drive + parts[0], parts[1]
            info = zipfile.ZipInfo(name, info_time)
            info.create_system = 3
            info.compress_type = zipfile.ZIP_DEFLATED
            mode = 0o100644
            data = content.encode()
            ids = {}
            for option in parts[2:]:
                if option == "ro":
                    mode = 0o100444
                elif option == "zeros":
                    data = bytes(int(content))
                elif option.startswith("claim="):
                    claims[name] = int(option[6:])
                elif option.startswith("mode="):
                    mode = 0o100000 | int(option[5:], 8)
                elif option.startswith(("uid=", "gid=")):
                    ids[option[:3]] = int(option[4:])
                elif option == "nomode":
                    mode = None
            if ids:
                info.extra = struct.pack("<HHBBIBI", 0x7875, 11, 1, 4, ids.get("uid", 0), 4, ids.get("gid", 0))
            if mode is None:
                info.create_system = 0
                info.external_attr = 0x20
            else:
                info.external_attr = mode << 16
            z.writestr(info, data)

# Lying sizes: the uncompressed size in the local and the central header.
if claims:
    with zipfile.ZipFile(out) as z:
        infos = {i.filename: i for i in z.infolist()}
    data = bytearray(open(out, "rb").read())
    for name, size in claims.items():
        info = infos[name]
        struct.pack_into("<I", data, info.header_offset + 22, size)
        central = data.find(b"PK\x01\x02")
        while central >= 0:
            length = struct.unpack_from("<H", data, central + 28)[0]
            if bytes(data[central + 46:central + 46 + length]) == name.encode():
                struct.pack_into("<I", data, central + 24, size)
                break
            central = data.find(b"PK\x01\x02", central + 4)
    open(out, "wb").write(bytes(data))
