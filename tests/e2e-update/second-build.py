#!/usr/bin/python3
"""Writes another build of Pagekeep.exe for the update tests: the same
program claiming another version, newer or older than the build's own, in
every place the build writes its version (the version resource's fixed
part and strings, and the program's own version text), so that it runs as
that version and is told apart by its bytes. The version has as many
characters as the build's, so nothing moves in the file. With --machine it
also claims another machine type in its PE header (another architecture's
build, as far as the updater can tell). The version goes to OUT.version.

  second-build.py PAGEKEEP.exe OUT.exe --running 1.0 (--newer | --older)
                  [--machine 0x14c]
"""
import argparse
import struct
import sys

FIXED_SIGNATURE = struct.pack("<I", 0xFEEF04BD)
VERSION_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")


def step(version, newer):
    """A version of the same length, one step newer or older: the rightmost
    digit that can move does, and the digits after it in its part wrap."""
    parts = [list(part) for part in version.split(".")]
    keep, wrap = ("9", "0") if newer else ("0", "9")
    for part in reversed(parts):
        for i in range(len(part) - 1, -1, -1):
            if part[i] != keep and (newer or i > 0 or part[i] != "1" or len(part) == 1):
                part[i] = chr(ord(part[i]) + (1 if newer else -1))
                for j in range(i + 1, len(part)):
                    part[j] = wrap
                return ".".join("".join(p) for p in parts)
    sys.exit("second-build.py: no version of the same length next to " + version)


def fixed(version):
    numbers = [int(p) for p in version.split(".")] + [0, 0, 0, 0]
    return ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("out")
    parser.add_argument("--running", required=True)
    direction = parser.add_mutually_exclusive_group(required=True)
    direction.add_argument("--newer", action="store_true")
    direction.add_argument("--older", action="store_true")
    parser.add_argument("--machine", type=lambda text: int(text, 0))
    args = parser.parse_args()

    with open(args.source, "rb") as source:
        image = bytearray(source.read())
    version = step(args.running, args.newer)

    # Every wide text of the running version that stands alone: at an even
    # offset, ended by a NUL and not the tail of a longer version ("11.0").
    # The unit before it may be anything else, as the linker puts the
    # program's version constant right after other data.
    old = (args.running + "\0").encode("utf-16-le")
    new = (version + "\0").encode("utf-16-le")
    count = 0
    at = image.find(old)
    while at >= 0:
        before = image[at - 2:at] if at >= 2 else b"\0\0"
        if at % 2 == 0 and not (before[1] == 0 and chr(before[0]) in "0123456789."):
            image[at:at + len(old)] = new
            count += 1
        at = image.find(old, at + 1)
    if count < 3:
        sys.exit("second-build.py: %d version texts in %s, expected at least 3"
                 % (count, args.source))

    # The fixed part right after the resource's key and its padding (the
    # key and the signature's value may also stand in the code that reads
    # version resources).
    places = []
    key = image.find(VERSION_KEY)
    while key >= 0:
        end = key + len(VERSION_KEY)
        signature = image.find(FIXED_SIGNATURE, end, end + 4 + len(FIXED_SIGNATURE))
        if signature >= 0:
            places.append(signature)
        key = image.find(VERSION_KEY, key + 1)
    if len(places) != 1:
        sys.exit("second-build.py: not exactly one version resource in " + args.source)
    at = places[0]
    ms, ls = fixed(version)
    struct.pack_into("<IIII", image, at + 8, ms, ls, ms, ls)

    if args.machine is not None:
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        struct.pack_into("<H", image, pe + 4, args.machine)

    with open(args.out, "wb") as out:
        out.write(image)
    with open(args.out + ".version", "w", encoding="ascii") as out:
        out.write(version)


main()
