#!/usr/bin/env python3
"""Writes the zip fixtures of the package tests into a folder.

Usage: make_fixtures.py OUTDIR

Broken and unusual archives are assembled byte by byte (build_zip below) so that every field
is under control; archives "written by other tools" come from Python's zipfile, Info-ZIP zip
and bsdtar. OUTDIR/index.txt lists every fixture with one line saying what is wrong with it
and what must happen.
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

FIXTURES = {}  # name -> description


def fixture(name, description, data):
    FIXTURES[name] = (description, data)


def deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


class Entry:
    def __init__(self, name, data=b"", method=8, **kw):
        self.name = name.encode("utf-8") if isinstance(name, str) else name
        self.data = data
        self.method = method
        if "payload" in kw:
            self.payload = kw["payload"]
        elif method == 8 and not name_is_dir(self.name):
            self.payload = deflate(data)
        else:
            self.payload = data
        self.crc = kw.get("crc", zlib.crc32(data) & 0xFFFFFFFF)
        self.usize = kw.get("usize", len(data))
        self.csize = kw.get("csize", len(self.payload))
        self.flags = kw.get("flags", 0)
        self.local_method = kw.get("local_method", method)
        self.zip64 = kw.get("zip64", False)  # sizes (and offset) through the ZIP64 extra block
        self.zip64_offset = kw.get("zip64_offset", self.zip64)
        self.descriptor = kw.get("descriptor", False)
        self.cd_extra = kw.get("cd_extra", b"")
        self.dosdate = kw.get("dosdate", 0x4A21)
        self.dostime = kw.get("dostime", 0x6000)
        self.offset_override = kw.get("offset", None)
        self.local_sig = kw.get("local_sig", 0x04034B50)


def name_is_dir(name):
    return name.endswith(b"/")


def build_zip(entries, comment=b"", zip64_end=False, count=None, prefix=b"", trailing=b"",
              locator=True, end_comment_length=None):
    out = bytearray(prefix)
    offsets = []
    for e in entries:
        offsets.append(len(out))
        crc, cs, us = e.crc, e.csize, e.usize
        if e.descriptor:
            crc, cs, us = 0, 0, 0
        local_extra = b""
        if e.zip64:
            local_extra = struct.pack("<HHQQ", 1, 16, e.usize, e.csize)
            cs, us = 0xFFFFFFFF, 0xFFFFFFFF
        out += struct.pack("<IHHHHHIIIHH", e.local_sig, 45 if e.zip64 else 20, e.flags | (8 if e.descriptor else 0),
                           e.local_method, e.dostime, e.dosdate, crc, cs, us, len(e.name), len(local_extra))
        out += e.name + local_extra + e.payload
        if e.descriptor:
            out += struct.pack("<IIII", 0x08074B50, e.crc, e.csize, e.usize)
    cd_start = len(out)
    for e, off in zip(entries, offsets):
        off = e.offset_override if e.offset_override is not None else off
        extra = b""
        cs, us, lo = e.csize, e.usize, off
        if e.zip64:
            values = [e.usize, e.csize] + ([off] if e.zip64_offset else [])
            extra = struct.pack("<HH", 1, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values)
            cs, us = 0xFFFFFFFF, 0xFFFFFFFF
            if e.zip64_offset:
                lo = 0xFFFFFFFF
        extra += e.cd_extra
        out += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 45 if e.zip64 else 20,
                           e.flags | (8 if e.descriptor else 0), e.method, e.dostime, e.dosdate, e.crc, cs, us,
                           len(e.name), len(extra), 0, 0, 0, 0, lo)
        out += e.name + extra
    cd_size = len(out) - cd_start
    total = len(entries) if count is None else count
    if zip64_end:
        z64 = len(out)
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, total, total, cd_size, cd_start)
        if locator:
            out += struct.pack("<IIQI", 0x07064B50, 0, z64, 1)
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                           len(comment) if end_comment_length is None else end_comment_length)
    else:
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, total & 0xFFFF, total & 0xFFFF, cd_size, cd_start,
                           len(comment) if end_comment_length is None else end_comment_length)
    out += comment + trailing
    return bytes(out)


def pattern(size, seed=1):
    """Deterministic, poorly compressible bytes."""
    out = bytearray()
    x = seed
    while len(out) < size:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack("<I", x)
    return bytes(out[:size])


def text(size, word=b"morlix "):
    return (word * (size // len(word) + 1))[:size]


def comment_bytes(length):
    return bytes(ord("a") + i % 26 for i in range(length))


def make_library_fixtures():
    hello = b"hello, package\n"
    fixture("mimetype_first.zip", "stored 'mimetype' is the first entry: conformance 0, valid flag set",
            build_zip([Entry("mimetype", b"application/x-morlix", method=0), Entry("a.txt", hello)]))
    fixture("mimetype_deflated.zip", "'mimetype' first but deflated: conformance 46; strict option fails with 46",
            build_zip([Entry("mimetype", b"application/x-morlix"), Entry("a.txt", hello)]))
    fixture("mimetype_not_first.zip", "stored 'mimetype' not first: conformance 46; strict option fails with 46",
            build_zip([Entry("a.txt", hello), Entry("mimetype", b"application/x-morlix", method=0)]))
    fixture("plain.zip", "no 'mimetype' entry, two files in a folder: opens with conformance 47, extracts",
            build_zip([Entry("dir/one.txt", hello), Entry("dir/two.bin", pattern(5000), method=0)]))
    fixture("zip64_totals.zip", "end record says 0xFFFF entries and all-ones size/offset: totals from the ZIP64 end record",
            build_zip([Entry("a.txt", hello), Entry("b.txt", b"bee")], zip64_end=True))
    fixture("zip64_entries.zip", "central headers with 0xFFFFFFFF sizes/offset: values from the ZIP64 extra block",
            build_zip([Entry("big/a.bin", pattern(70000), zip64=True),
                       Entry("big/b.txt", text(3000), zip64=True, zip64_offset=False)], zip64_end=True))
    only_usize = Entry("u.txt", text(100))
    only_usize.cd_extra = b""
    fixture("zip64_only_usize.zip", "uncompressed size 0xFFFFFFFF with an 8-byte ZIP64 block: only that size replaced",
            build_zip_only_usize(only_usize))
    fixture("zip64_no_locator.zip", "end record asks for ZIP64 but no locator precedes it: code 13",
            build_zip([Entry("a.txt", hello)], zip64_end=True, locator=False))
    fixture("too_many_entries.zip", "ZIP64 total of 0x20000000 entries: code 9",
            build_zip([Entry("a.txt", hello)], zip64_end=True, count=0x20000000))
    fixture("huge_count_small_file.zip", "ZIP64 total of 0x1FFFFFFF entries in a tiny file: the bytes after its one header are no header, code 3, no huge reservation",
            build_zip([Entry("a.txt", hello)], zip64_end=True, count=0x1FFFFFFF))
    for length in (200, 4093, 4094, 4095, 65535):
        fixture("comment_%d.zip" % length,
                "archive comment of %d bytes: end record found by the backward search, comment is property 1000" % length,
                build_zip([Entry("a.txt", hello)], comment=comment_bytes(length)))
    fixture("comment_length_no_comment.zip",
            "last 22 bytes are an end record claiming a 9-byte comment that is absent: accepted, comment not read",
            build_zip([Entry("a.txt", hello)], end_comment_length=9))
    fixture("no_end_record.zip", "a local header and data but no end record: search reaches the start, code 11",
            build_zip([Entry("a.txt", hello)])[:30 + 5 + len(deflate(hello))] + b"\0" * 5000)
    fixture("split_marker.zip", "starts with the split-archive marker PK 07 08: code 16 before anything else",
            b"PK\x07\x08" + build_zip([Entry("a.txt", hello)]))
    fixture("not_a_zip.bin", "plain text, no local header: code 20", b"this is not a zip file at all\n" * 3)
    fixture("empty_archive.zip", "only an end record (an empty archive): not a package, code 20", build_zip([]))
    fixture("data_descriptor.zip", "flag bit 3, zeros in the local headers and data descriptors: extracts from the central sizes",
            build_zip([Entry("d/one.txt", text(5000), descriptor=True),
                       Entry("d/two.bin", pattern(300), method=0, descriptor=True)]))
    fixture("dirs_after_files.zip", "files come before their directory entries: all files extracted, directories made",
            build_zip([Entry("a/b.txt", hello), Entry("a/c/d.txt", b"dee"), Entry("a/c/", method=0), Entry("a/", method=0)]))
    fixture("no_dir_entries.zip", "nested files and no directory entries: folders made as needed",
            build_zip([Entry("a/b.txt", hello), Entry("a/c/d.txt", b"dee"), Entry("e.txt", b"eee")]))
    fixture("empty_files.zip", "empty stored file, empty deflated file (no data bytes at all) and an empty folder: all made, files 0 bytes",
            build_zip([Entry("empty_stored.txt", b"", method=0), Entry("empty_deflated.txt", b"", payload=b""),
                       Entry("empty_dir/", method=0)]))
    fixture("method12.zip", "entry with compression method 12: opens, compression reads 8, reading fails with code 31",
            build_zip([Entry("ok.txt", hello), Entry("bz.bin", text(1000), method=12, payload=pattern(200))]))
    full = text(20000)
    packed = deflate(full)
    fixture("truncated_deflate.zip", "deflated data cut in half (sizes say so): code 31 on read or first seek",
            build_zip([Entry("ok.txt", hello), Entry("cut.txt", full, payload=packed[:len(packed) // 2])]))
    fixture("wrong_crc.zip", "central CRC-32 does not match the data: extraction fails the call",
            build_zip([Entry("ok.txt", hello), Entry("bad.txt", text(3000), crc=0x12345678)]))
    fixture("wrong_crc_stored.zip", "stored entry whose CRC-32 does not match: extraction fails the call",
            build_zip([Entry("bad.bin", pattern(3000), method=0, crc=0xDEADBEEF)]))
    fixture("inflates_past_size.zip", "deflated entry inflates to more than its declared size: code 31 at that point",
            build_zip([Entry("ok.txt", hello), Entry("bomb.txt", text(200000), usize=1000)]))
    fixture("inflates_short.zip", "deflated entry inflates to fewer bytes than declared: extraction fails the call",
            build_zip([Entry("short.txt", text(1000), usize=5000)]))
    fixture("stored_short.zip", "stored entry whose data end before its declared size: extraction fails the call",
            build_zip([Entry("short.bin", pattern(100), method=0, usize=100000)]))
    fixture("stored_long.zip", "stored entry with more data than its declared size of 10: extraction fails "
            "the call and writes no more than 10 bytes", build_zip([Entry("long.bin", pattern(100000), method=0, usize=10)]))
    fixture("duplicate_names.zip", "two entries named 'dup.txt': one file, holding the first entry's data",
            build_zip([Entry("dup.txt", b"first\n"), Entry("dup.txt", b"second\n"), Entry("after.txt", b"after\n")]))
    fixture("empty_name.zip", "an entry with an empty name between two files: skipped, the others extracted",
            build_zip([Entry("before.txt", b"b\n"), Entry("", b"nameless"), Entry("after.txt", b"a\n")]))
    fixture("zpit_and_date.zip", "DOS date bytes 21 4A and a ZPIT type/creator block: properties 0 and 2",
            build_zip([Entry("t.txt", hello, dosdate=0x4A21, dostime=0x7B3C,
                             cd_extra=struct.pack("<HH", 0x2705, 12) + b"ZPIT" + b"TEXTmrlx")]))
    fixture("extra_cut_midblock.zip", "central extra field ends in the middle of a block: walk stops, header accepted",
            build_zip([Entry("x.txt", hello, cd_extra=struct.pack("<HH", 0x7777, 40) + b"abc")]))
    fixture("bad_local_header.zip", "central header points at bytes that are not a local header: code 8 when the entry is made",
            build_zip([Entry("a.txt", hello, offset=7)]))
    fixture("cd_offset_past_end.zip", "central directory offset beyond the end of the file: short read, code 2",
            corrupt_cd_offset(build_zip([Entry("a.txt", hello)])))
    fixture("stored_1MiB.zip", "stored entry of exactly 1,048,576 bytes: copied in one block", zip_stored("one_mib.bin", 1 << 20))
    fixture("stored_1MiB_plus1.zip", "stored entry of 1,048,577 bytes: copied in two blocks",
            zip_stored("one_mib_plus.bin", (1 << 20) + 1))
    traversal = [
        ("dotdot", "../evil.txt"),
        ("dotdot_nested", "a/../../evil.txt"),
        ("dotdot_backslash", "a\\..\\..\\evil.txt"),
        ("dotdot_mixed", "a/..\\../evil.txt"),
        ("dotdot_only", ".."),
        ("absolute", "/tmp/evil.txt"),
        ("absolute_backslash", "\\evil.txt"),
        ("drive_letter", "C:/evil.txt"),
        ("drive_letter_relative", "C:evil.txt"),
        ("drive_backslash", "c:\\evil.txt"),
        ("dotdot_dir", "../evil_dir/"),
    ]
    for tag, name in traversal:
        fixture("traversal_%s.zip" % tag,
                "entry '%s' after a good file: the call fails (1), nothing outside the destination" % name,
                build_zip([Entry("good.txt", b"good\n"),
                           Entry(name, b"evil\n", method=0 if name.endswith("/") else 8)]))


def build_zip_only_usize(entry):
    data = bytearray(build_zip([entry]))
    cd = data.rfind(struct.pack("<I", 0x02014B50))
    name_len, extra_len = struct.unpack_from("<HH", data, cd + 28)
    # Uncompressed size field to all ones, and an extra block with just that value.
    struct.pack_into("<I", data, cd + 24, 0xFFFFFFFF)
    block = struct.pack("<HHQ", 1, 8, entry.usize)
    end = cd + 46 + name_len
    data[end:end] = block
    struct.pack_into("<H", data, cd + 30, len(block))
    eocd = data.rfind(struct.pack("<I", 0x06054B50))
    cd_size = struct.unpack_from("<I", data, eocd + 12)[0]
    struct.pack_into("<I", data, eocd + 12, cd_size + len(block))
    return bytes(data)


def corrupt_cd_offset(data):
    data = bytearray(data)
    eocd = data.rfind(struct.pack("<I", 0x06054B50))
    struct.pack_into("<I", data, eocd + 16, len(data) + 1000)
    return bytes(data)


def zip_stored(name, size):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        z.writestr(name, pattern(size, seed=size))
    return buf.getvalue()


def make_tree(root):
    """A small tree with nested folders, an empty file, an empty folder and mixed content."""
    files = {
        "readme.txt": text(1200),
        "bin/app.bin": pattern(150000, 7),
        "bin/empty.dat": b"",
        "res/img/a.raw": pattern(3000, 3),
        "res/img/b.txt": text(70000, b"ab"),
        "res/deep/er/still/file.txt": b"deep\n",
        "big/compressible.txt": text(1_300_000, b"the quick brown fox "),
        "unicode/caf\u00e9.txt": "caf\u00e9\n".encode("utf-8"),
    }
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "empty_folder"), exist_ok=True)


def make_tool_fixtures(outdir):
    """Archives of one tree written by other tools; tests compare our extraction with unzip's."""
    work = tempfile.mkdtemp(prefix="tzfixtree")
    try:
        tree = os.path.join(work, "tree")
        make_tree(tree)
        names = sorted(os.listdir(tree))
        tools = {
            "tool_infozip_deflate.zip": ["zip", "-q", "-r", "-X"],
            "tool_infozip_stored.zip": ["zip", "-q", "-r", "-X", "-0"],
        }
        for name, cmd in tools.items():
            target = os.path.join(outdir, name)
            if os.path.exists(target):
                os.remove(target)
            subprocess.run(cmd + [target] + names, cwd=tree, check=True)
            FIXTURES.setdefault(name, ("written by Info-ZIP zip (%s): extracts byte-identical to unzip" % " ".join(cmd[1:]), None))
        # Info-ZIP writing to a pipe uses data descriptors.
        piped = subprocess.run(["zip", "-q", "-r", "-X", "-"] + names, cwd=tree, check=True,
                               stdout=subprocess.PIPE).stdout
        with open(os.path.join(outdir, "tool_infozip_stream.zip"), "wb") as f:
            f.write(piped)
        FIXTURES["tool_infozip_stream.zip"] = ("written by Info-ZIP zip to a pipe (data descriptors): extracts byte-identical to unzip", None)
        if shutil.which("bsdtar"):
            target = os.path.join(outdir, "tool_bsdtar.zip")
            subprocess.run(["bsdtar", "--format", "zip", "-cf", target] + names, cwd=tree, check=True)
            FIXTURES["tool_bsdtar.zip"] = ("written by bsdtar: extracts byte-identical to unzip", None)
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
            for folder, dirs, files in sorted(os.walk(tree)):
                dirs.sort()
                for d in dirs:
                    full = os.path.join(folder, d)
                    z.write(full, os.path.relpath(full, tree) + "/")
                for fname in sorted(files):
                    full = os.path.join(folder, fname)
                    z.write(full, os.path.relpath(full, tree))
        FIXTURES["tool_pyzipfile.zip"] = ("written by Python zipfile: extracts byte-identical to unzip", buf.getvalue())
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
            for rel in ("readme.txt", "bin/app.bin"):
                with open(os.path.join(tree, rel), "rb") as f:
                    data = f.read()
                with z.open(rel, "w", force_zip64=True) as w:
                    w.write(data)
        FIXTURES["tool_pyzipfile_zip64.zip"] = ("Python zipfile with forced ZIP64 entries: extracts byte-identical to unzip",
                                                buf.getvalue())
    finally:
        shutil.rmtree(work)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    make_library_fixtures()
    make_tool_fixtures(outdir)
    with open(os.path.join(outdir, "index.txt"), "w") as index:
        for name in sorted(FIXTURES):
            description, data = FIXTURES[name]
            if data is not None:
                with open(os.path.join(outdir, name), "wb") as f:
                    f.write(data)
            index.write("%s: %s\n" % (name, description))
    return 0


if __name__ == "__main__":
    sys.exit(main())
