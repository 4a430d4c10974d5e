#!/usr/bin/python3
# Writes the compressed RTF body (the stream __substg1.0_10090102) of every message in
# ../msg, and of every message embedded in one, to NAME.lzfu here, as Python's olefile
# reads it. Run once from this folder; the files are committed.
import glob
import os

import olefile

RTF_STREAM = "__substg1.0_10090102"

for path in sorted(glob.glob("../msg/*.msg")):
    name = os.path.basename(path)[:-4]
    with olefile.OleFileIO(path) as ole:
        for entry in ole.listdir():
            if entry[-1] != RTF_STREAM or entry[0].startswith("__nameid"):
                continue
            # entry is [attachment, "__substg1.0_3701000D", stream] for an embedded message.
            suffix = ""
            if len(entry) == 3 and entry[0].startswith("__attach_version1.0_#"):
                suffix = " (attachment %d)" % int(entry[0].split("#")[1], 16)
            elif len(entry) != 1:
                continue
            with open(name + suffix + ".lzfu", "wb") as out:
                out.write(ole.openstream(entry).read())
