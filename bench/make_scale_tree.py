#!/usr/bin/env python3
"""Deterministic home-folder-like tree for the scale benchmarks.

make_scale_tree.py DEST [--files N]

DEST/tree: N files (default 100,000) in N/50 folders nested up to five deep
under a few top folders, with paths of about 100 bytes; most files are a few
kilobytes of text or binary (about 3.7 KB on average), one in 5,000 is a large
file of 2 to 8 MB. DEST/tree.lst lists every file (absolute path, one a line,
in walk order). Modification times are fixed, so the same arguments always
give the same tree (fixed seed, stdlib only). DEST/.complete marks a finished
tree.
"""
import argparse
import os
import random

SEED = 20261207
WORDS = (
    "backup crate archive folder file header entry index count size level update "
    "restore target source buffer stream reader writer parse token value result "
    "status option config path name list table record field offset length window "
    "photo music letter invoice project report draft notes summer winter family "
    "holiday budget garden recipe school travel camera screen module library"
).split()
TOPS = ["Documents", "Pictures", "Music", "projects", ".cache", ".local/share", "Downloads"]
EXTS = [".txt", ".md", ".cpp", ".h", ".py", ".json", ".jpg", ".png", ".log", ".csv", ".odt", ".pdf"]
BINARY = {".jpg", ".png", ".odt", ".pdf"}
MTIME = 1_700_000_000


def word_name(rng, n):
    return "-".join(rng.choice(WORDS) for _ in range(n))


def text_pool(rng, size):
    out = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))) + "\n"
        out.append(line)
        total += len(line)
    return "".join(out).encode()[:size]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dest")
    ap.add_argument("--files", type=int, default=100_000)
    args = ap.parse_args()
    rng = random.Random(SEED)
    root = os.path.join(os.path.abspath(args.dest), "tree")
    text = text_pool(rng, 4 << 20)
    noise = rng.randbytes(4 << 20)

    # Folders: a tree built breadth first, each new folder under a random
    # existing one no deeper than five levels.
    folder_count = max(1, args.files // 50)
    folders = []
    for i in range(folder_count):
        if i < len(TOPS):
            rel, depth = TOPS[i], 1
        else:
            parent, pdepth = folders[rng.randrange(len(folders))]
            while pdepth >= 5:
                parent, pdepth = folders[rng.randrange(len(folders))]
            rel, depth = f"{parent}/{word_name(rng, 2)}-{i:05d}", pdepth + 1
        folders.append((rel, depth))
    for rel, _ in folders:
        os.makedirs(os.path.join(root, rel), exist_ok=True)

    per_folder = [0] * folder_count
    for _ in range(args.files):
        per_folder[rng.randrange(folder_count)] += 1

    listing = []
    made = 0
    for (rel, _), count in zip(folders, per_folder):
        base = os.path.join(root, rel)
        for j in range(count):
            ext = rng.choice(EXTS)
            name = f"{word_name(rng, rng.randint(1, 3))}-{j:04d}{ext}"
            made += 1
            if made % 5000 == 0:
                size = rng.randint(2 << 20, 8 << 20)
            else:
                size = int(rng.lognormvariate(7.4, 1.1))
                size = min(size, 256 << 10)
            pool = noise if ext in BINARY else text
            start = rng.randrange(len(pool) - min(size, len(pool) - 1))
            data = pool[start:start + size]
            while len(data) < size:
                data += pool[: size - len(data)]
            path = os.path.join(base, name)
            with open(path, "wb") as f:
                f.write(data)
            os.utime(path, (MTIME + made, MTIME + made))
            listing.append(path)
    with open(os.path.join(os.path.abspath(args.dest), "tree.lst"), "w") as f:
        f.write("\n".join(listing) + "\n")
    open(os.path.join(os.path.abspath(args.dest), ".complete"), "w").close()


if __name__ == "__main__":
    main()
