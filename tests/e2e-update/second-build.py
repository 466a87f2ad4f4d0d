#!/usr/bin/python3
"""Writes another build of Pagekeep.exe for the update tests: the same
program with one letter of its DOS stub changed, so that it runs the same
and is told apart by its bytes.

  second-build.py PAGEKEEP.exe OUT.exe
"""
import sys

STUB = b"This program cannot be run in DOS mode"

with open(sys.argv[1], "rb") as source:
    image = bytearray(source.read())
at = image.find(STUB)
if at < 0:
    sys.exit("second-build.py: no DOS stub text in " + sys.argv[1])
image[at] = ord("t")
with open(sys.argv[2], "wb") as out:
    out.write(image)
