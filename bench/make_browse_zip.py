#!/usr/bin/env python3
"""A ZIP archive of N tiny stored entries with home-folder-like names, written
directly (no files on disk), for the browser's benchmark.

make_browse_zip.py ARCHIVE [--entries N]

Names are about 60 bytes, in N/50 folders nested three deep under a few top
folders; ZIP64 end records are written when N passes 65,535.
"""
import argparse
import random
import struct
import zlib

WORDS = ("backup crate archive folder report draft notes summer winter family holiday "
         "budget garden recipe school travel camera screen module library invoice").split()
TOPS = ["Documents", "Pictures", "Music", "projects", "Downloads"]
EXTS = [".txt", ".md", ".cpp", ".jpg", ".odt", ".pdf", ".csv"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("archive")
    parser.add_argument("--entries", type=int, default=100000)
    args = parser.parse_args()
    rng = random.Random(20261207)
    folders = []
    for i in range(max(1, args.entries // 50)):
        folders.append("home/ann/%s/%s-%d/%s/" % (rng.choice(TOPS), rng.choice(WORDS), i % 97,
                                                   rng.choice(WORDS) + str(i)))
    data = b"x"
    crc = zlib.crc32(data)
    dos_time, dos_date = 2 << 11, (46 << 9) | (12 << 5) | 6
    central = bytearray()
    with open(args.archive, "wb") as out:
        offset = 0
        for i in range(args.entries):
            name = (folders[i % len(folders)] + "%s-%d%s" % (
                rng.choice(WORDS), i, rng.choice(EXTS))).encode()
            local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0x800, 0, dos_time, dos_date,
                                crc, 1, 1, len(name), 0) + name + data
            out.write(local)
            central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 10, 0x800, 0, dos_time,
                                   dos_date, crc, 1, 1, len(name), 0, 0, 0, 0, 0,
                                   min(offset, 0xFFFFFFFF)) + name
            offset += len(local)
        out.write(central)
        end = offset + len(central)
        n = args.entries
        if n > 0xFFFF:
            out.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, n, n,
                                  len(central), offset))
            out.write(struct.pack("<IIQI", 0x07064B50, 0, end, 1))
        out.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, min(n, 0xFFFF), min(n, 0xFFFF),
                              min(len(central), 0xFFFFFFFF), min(offset, 0xFFFFFFFF), 0))


if __name__ == "__main__":
    main()
