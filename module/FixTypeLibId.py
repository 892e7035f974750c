#!/usr/bin/env python3
"""Restores a type library's own id after widl.

widl 7 writes the library id with its last byte overwritten when the library holds
dual interfaces. The id's first 15 bytes are unique in the file; put the 16th back.
Usage: FixTypeLibId.py LIBRARY.tlb GUID
"""
import sys
import uuid


def main():
    path, text = sys.argv[1], sys.argv[2]
    want = uuid.UUID(text).bytes_le
    data = bytearray(open(path, "rb").read())
    at = data.find(want[:15])
    if at < 0 or data.find(want[:15], at + 1) >= 0:
        sys.exit("%s: library id %s not found once" % (path, text))
    data[at + 15] = want[15]
    open(path, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
