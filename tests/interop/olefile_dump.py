#!/usr/bin/python3
"""Lists every stream of a compound file with an independent reader (olefile).

Output: one line per stream, sorted by path: "storage/stream<TAB>size<TAB>hex bytes".
Exit status 2 when the file is not a compound file.
"""
import sys

import olefile


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: olefile_dump.py FILE", file=sys.stderr)
        return 1
    if not olefile.isOleFile(sys.argv[1]):
        print("not a compound file", file=sys.stderr)
        return 2
    with olefile.OleFileIO(sys.argv[1]) as ole:
        for entry in sorted(ole.listdir(streams=True, storages=False)):
            data = ole.openstream(entry).read()
            print("/".join(entry), len(data), data.hex(), sep="\t")
    return 0


if __name__ == "__main__":
    sys.exit(main())
