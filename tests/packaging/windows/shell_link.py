#!/usr/bin/env python3
"""Reads what a Windows shortcut (.lnk, the Shell Link format) starts and
where: its target, its working folder ("Start in") and its arguments.

usage: shell_link.py FILE
Prints one "name: value" line for each field the link holds, out of
target, relative-path, working-folder, arguments; exits 1 with a message
on stderr when FILE is not a shell link.
"""
import struct
import sys

HEADER_SIZE = 0x4C
LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")

HAS_TARGET_ID_LIST = 0x01
HAS_LINK_INFO = 0x02
HAS_NAME = 0x04
HAS_RELATIVE_PATH = 0x08
HAS_WORKING_DIR = 0x10
HAS_ARGUMENTS = 0x20
HAS_ICON_LOCATION = 0x40
IS_UNICODE = 0x80

VOLUME_ID_AND_LOCAL_BASE_PATH = 0x01

# What Windows uses for the ANSI strings of a link made on a Western system.
ANSI = "cp1252"


class NotALink(Exception):
    pass


def _take(data, offset, size, what):
    if offset + size > len(data):
        raise NotALink(f"cut short in its {what}")
    return data[offset:offset + size]


def _c_string(data, offset, what, wide=False):
    """A NUL-ended string at offset: ANSI, or UTF-16 when wide."""
    if offset >= len(data):
        raise NotALink(f"its {what} is outside the link")
    if wide:
        end = offset
        while True:
            pair = _take(data, end, 2, what)
            if pair == b"\0\0":
                return data[offset:end].decode("utf-16-le")
            end += 2
    end = data.find(b"\0", offset)
    if end < 0:
        raise NotALink(f"its {what} has no end")
    return data[offset:end].decode(ANSI)


def _local_path(info):
    """The target's local path from the LinkInfo block, or None."""
    (header_size, flags, _volume, base_offset, _network,
     suffix_offset) = struct.unpack_from("<6I", _take(info, 4, 24, "link info"))
    if not flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        return None
    if header_size >= 0x24:
        wide_base, wide_suffix = struct.unpack_from("<2I", _take(info, 28, 8, "link info"))
        if wide_base:
            return (_c_string(info, wide_base, "path", wide=True)
                    + _c_string(info, wide_suffix, "path suffix", wide=True))
    return _c_string(info, base_offset, "path") + _c_string(info, suffix_offset, "path suffix")


def read(data):
    """The link's fields, by name, in the order they appear."""
    header = _take(data, 0, HEADER_SIZE, "header")
    size, clsid, flags = struct.unpack_from("<I16sI", header)
    if size != HEADER_SIZE or clsid != LINK_CLSID:
        raise NotALink("no shell link header")
    fields = {}
    offset = HEADER_SIZE
    if flags & HAS_TARGET_ID_LIST:
        (id_list_size,) = struct.unpack("<H", _take(data, offset, 2, "ID list"))
        offset += 2 + id_list_size
    if flags & HAS_LINK_INFO:
        (info_size,) = struct.unpack("<I", _take(data, offset, 4, "link info"))
        info = _take(data, offset, info_size, "link info")
        path = _local_path(info)
        if path is not None:
            fields["target"] = path
        offset += info_size
    wide = bool(flags & IS_UNICODE)
    for flag, name in ((HAS_NAME, "name"), (HAS_RELATIVE_PATH, "relative-path"),
                       (HAS_WORKING_DIR, "working-folder"), (HAS_ARGUMENTS, "arguments"),
                       (HAS_ICON_LOCATION, "icon")):
        if not flags & flag:
            continue
        (count,) = struct.unpack("<H", _take(data, offset, 2, name))
        offset += 2
        size = count * 2 if wide else count
        text = _take(data, offset, size, name)
        # Wine counts, and writes, the string's ending NUL; Windows does not.
        fields[name] = text.decode("utf-16-le" if wide else ANSI).rstrip("\0")
        offset += size
    return fields


def main(argv):
    if len(argv) != 2:
        print("usage: shell_link.py FILE", file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as link:
            fields = read(link.read())
    except (OSError, NotALink) as error:
        print(f"quorvane: {argv[1]}: not a readable shell link: {error}", file=sys.stderr)
        return 1
    for name in ("target", "relative-path", "working-folder", "arguments"):
        if name in fields:
            print(f"{name}: {fields[name]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
