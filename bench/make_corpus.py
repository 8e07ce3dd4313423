#!/usr/bin/env python3
"""Deterministic benchmark corpus for the archiver.

make_corpus.py DEST [--files N] [--source-mb MB] [--large-mb MB]

DEST/source: about N source-like text files (C++, Python, text), in nested
folders, totalling about --source-mb megabytes.
DEST/large: about --large-files files of mixed kinds totalling --large-mb:
log-like text, incompressible noise (half the bytes), structured binary
records, and files alternating text and noise; a few of them far larger than
the rest (hundreds of MB), most between 64 KB and 2 MB.
DEST/small: --small-files files of 20 to 500 bytes in 1,000 folders.

The same arguments always give the same bytes (fixed seed, stdlib only).
"""
import argparse
import os
import random

SEED = 20240607

WORDS = (
    "backup crate archive folder file header entry index count size level update "
    "restore target source buffer stream reader writer parse token value result error "
    "status option config path name list table record field offset length window "
    "compress deflate inflate checksum verify signal thread queue piece chunk block "
    "data item line text byte flag mode time date user group owner link node tree"
).split()
TYPES = ["int", "size_t", "std::string", "bool", "uint32_t", "double", "auto", "char*"]
KEYWORDS_PY = ["def", "return", "if", "for", "while", "import", "class", "with", "yield"]


def ident(rng):
    n = rng.randint(1, 3)
    parts = [rng.choice(WORDS) for _ in range(n)]
    style = rng.random()
    if style < 0.4:
        return parts[0] + "".join(p.capitalize() for p in parts[1:])
    if style < 0.7:
        return "_".join(parts)
    return "".join(p.capitalize() for p in parts)


def cpp_line(rng, depth):
    pad = "    " * depth
    r = rng.random()
    if r < 0.25:
        return f"{pad}{rng.choice(TYPES)} {ident(rng)} = {ident(rng)}({ident(rng)}, {rng.randint(0, 4096)});"
    if r < 0.40:
        return f"{pad}if ({ident(rng)} {rng.choice(['==', '!=', '<', '>='])} {ident(rng)}) {{"
    if r < 0.50:
        return f"{pad}// {' '.join(rng.choice(WORDS) for _ in range(rng.randint(3, 12)))}"
    if r < 0.60:
        return f"{pad}return {ident(rng)}.{ident(rng)}();"
    if r < 0.70:
        return f"{pad}for (size_t i = 0; i < {ident(rng)}.size(); ++i) {{"
    if r < 0.80:
        return f"{pad}{ident(rng)}->{ident(rng)}({ident(rng)}, \"{rng.choice(WORDS)} {rng.choice(WORDS)}\");"
    if r < 0.90:
        return pad + "}"
    return ""


def py_line(rng, depth):
    pad = "    " * depth
    r = rng.random()
    if r < 0.3:
        return f"{pad}{ident(rng)} = {ident(rng)}({ident(rng)}, {rng.randint(0, 999)})"
    if r < 0.45:
        return f"{pad}{rng.choice(KEYWORDS_PY)} {ident(rng)}:"
    if r < 0.6:
        return f"{pad}# {' '.join(rng.choice(WORDS) for _ in range(rng.randint(3, 10)))}"
    if r < 0.8:
        return f"{pad}return {ident(rng)}[{rng.randint(0, 64)}]"
    return ""


def text_file(rng, target):
    kind = rng.random()
    out = []
    size = 0
    depth = 0
    while size < target:
        if kind < 0.6:
            line = cpp_line(rng, depth)
            if line.endswith("{"):
                depth = min(depth + 1, 5)
            elif line.strip() == "}":
                depth = max(depth - 1, 0)
        elif kind < 0.85:
            line = py_line(rng, depth)
            depth = max(0, min(4, depth + rng.choice([-1, 0, 0, 1])))
        else:
            line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 16))).capitalize() + "."
        out.append(line)
        size += len(line) + 1
    return ("\n".join(out) + "\n").encode()


def make_source(dest, files, total_mb, rng):
    mean = total_mb * 1024 * 1024 / files
    paths = []
    for i in range(files):
        folder = os.path.join(dest, "source", f"module{i % 97:02d}", f"part{(i // 97) % 13}")
        os.makedirs(folder, exist_ok=True)
        ext = rng.choice([".cpp", ".h", ".py", ".txt", ".cpp", ".h"])
        name = f"{ident(rng)}_{i}{ext}"
        target = max(64, int(rng.expovariate(1 / mean)))
        target = min(target, int(mean * 12))
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(text_file(rng, target))
        paths.append(path)
    return paths


def write_chunks(path, total, chunk_fn):
    with open(path, "wb") as f:
        written = 0
        while written < total:
            data = chunk_fn(min(1 << 20, total - written))
            f.write(data)
            written += len(data)


def make_large(dest, total_mb, files, rng):
    folder = os.path.join(dest, "large")
    os.makedirs(folder, exist_ok=True)
    mb = 1024 * 1024
    share = total_mb * mb

    def log_chunk(n):
        lines = []
        size = 0
        while size < n:
            line = (f"2024-06-{rng.randint(1, 30):02d} {rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:"
                    f"{rng.randint(0, 59):02d} [{rng.choice(['INFO', 'WARN', 'DEBUG', 'ERROR'])}] "
                    f"{ident(rng)}: {' '.join(rng.choice(WORDS) for _ in range(rng.randint(2, 9)))} "
                    f"id={rng.randint(0, 10**6)}")
            lines.append(line)
            size += len(line) + 1
        return ("\n".join(lines) + "\n").encode()[:n]

    def noise_chunk(n):
        return rng.randbytes(n)

    def record_chunk(n):
        out = bytearray()
        while len(out) < n:
            out += rng.randint(0, 1 << 20).to_bytes(4, "little")
            out += rng.choice([b"\x00" * 12, rng.randbytes(4) + b"\x00" * 8])
            out += rng.choice(WORDS).encode().ljust(16, b"\x00")
        return bytes(out[:n])

    def mixed_chunk(n):
        return log_chunk(n) if rng.random() < 0.5 else noise_chunk(n)

    kinds = [log_chunk, record_chunk, mixed_chunk]
    paths = []
    if files <= 4:
        specs = [
            ("server.log", 0.40, log_chunk),
            ("media.bin", 0.25, noise_chunk),
            ("records.db", 0.20, record_chunk),
            ("mixed.dat", 0.15, mixed_chunk),
        ]
        for name, frac, fn in specs:
            path = os.path.join(folder, name)
            write_chunks(path, int(share * frac), fn)
            paths.append(path)
        return paths
    # A few big files (a video, a disk image, a long log), then many medium
    # ones; noise makes up half the bytes either way.
    big = [("video.mp4", 0.15, noise_chunk), ("disk.img", 0.10, record_chunk),
           ("archive.log", 0.10, log_chunk), ("photos.tar", 0.05, noise_chunk)]
    for name, frac, fn in big:
        path = os.path.join(folder, name)
        write_chunks(path, int(share * frac), fn)
        paths.append(path)
    rest = share - sum(int(share * f) for _, f, _ in big)
    noise_left = share // 2 - int(share * 0.20)
    count = files - len(big)
    for i in range(count):
        left = count - i
        size = max(1, min(rest // left * 2, int(rng.lognormvariate(12.8, 0.8))))
        if i == count - 1:
            size = max(1, rest)
        sub = os.path.join(folder, f"set{i % 20:02d}")
        os.makedirs(sub, exist_ok=True)
        if noise_left > 0 and rng.random() < 0.5:
            fn, ext = noise_chunk, ".jpg"
            noise_left -= size
        else:
            fn = kinds[i % len(kinds)]
            ext = [".log", ".db", ".dat"][i % len(kinds)]
        path = os.path.join(sub, f"item{i:05d}{ext}")
        write_chunks(path, size, fn)
        paths.append(path)
        rest -= size
    return paths


def make_small(dest, files, rng):
    folder = os.path.join(dest, "small")
    paths = []
    for i in range(files):
        sub = os.path.join(folder, f"d{i % 1000:03d}")
        if i < 1000:
            os.makedirs(sub, exist_ok=True)
        path = os.path.join(sub, f"note{i:06d}.txt")
        words = []
        size = rng.randint(20, 500)
        while sum(len(w) + 1 for w in words) < size:
            words.append(rng.choice(WORDS))
        with open(path, "w") as f:
            f.write(" ".join(words)[:size])
        paths.append(path)
    return paths


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dest")
    ap.add_argument("--files", type=int, default=20000)
    ap.add_argument("--source-mb", type=int, default=300)
    ap.add_argument("--large-mb", type=int, default=1000)
    ap.add_argument("--large-files", type=int, default=2000)
    ap.add_argument("--small-files", type=int, default=100000)
    args = ap.parse_args()
    rng = random.Random(SEED)
    dest = os.path.abspath(args.dest)
    source = make_source(dest, args.files, args.source_mb, rng)
    large = make_large(dest, args.large_mb, args.large_files, rng)
    small = make_small(dest, args.small_files, rng)
    for name, paths in (("source.lst", source), ("large.lst", large), ("small.lst", small)):
        with open(os.path.join(dest, name), "w") as f:
            f.write("".join(p + "\n" for p in paths))


if __name__ == "__main__":
    main()
