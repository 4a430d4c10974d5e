# Lists every storage and stream of compound files with Python's olefile, one line each:
# "FILE<TAB>PATH<TAB>storage" or "FILE<TAB>PATH<TAB>SIZE<TAB>SHA1" (upper-case hex),
# paths joined with "/" and sorted. Used by the storage tests as the independent reader.
import hashlib
import sys

import olefile

for name in sys.argv[1:]:
    with olefile.OleFileIO(name) as ole:
        lines = []
        for path in ole.listdir(streams=False, storages=True):
            lines.append("%s\t%s\tstorage" % (name, "/".join(path)))
        for path in ole.listdir(streams=True, storages=False):
            data = ole.openstream(path).read()
            lines.append("%s\t%s\t%d\t%s" % (name, "/".join(path), len(data), hashlib.sha1(data).hexdigest().upper()))
        print("\n".join(sorted(lines)))
