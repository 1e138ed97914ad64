#!/usr/bin/env python3
"""shell_link.py on links built here byte by byte, as Windows and Wine write
them: with or without an ID list and a LinkInfo block, Unicode or ANSI
strings, and files that are not links or are cut short."""
import io
import os
import struct
import sys
import unittest
from contextlib import redirect_stderr, redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shell_link  # noqa: E402


def link_info(path, wide):
    """A LinkInfo block with a local base path (and an empty suffix)."""
    header_size = 0x24 if wide else 0x1C
    volume = struct.pack("<4I", 16, 3, 0x1234, 16) + b"\0"
    base_offset = header_size + len(volume)
    ansi = path.encode("cp1252") + b"\0"
    suffix_offset = base_offset + len(ansi)
    body = volume + ansi + b"\0"
    wide_offsets = b""
    if wide:
        wide_base = header_size + len(body)
        wide_path = path.encode("utf-16-le") + b"\0\0"
        wide_suffix = wide_base + len(wide_path)
        body += wide_path + b"\0\0"
        wide_offsets = struct.pack("<2I", wide_base, wide_suffix)
    head = struct.pack("<5I", header_size, 1, header_size, base_offset, 0)
    head += struct.pack("<I", suffix_offset) + wide_offsets
    block = head + body
    return struct.pack("<I", 4 + len(block)) + block


def make_link(strings, *, unicode=True, id_list=b"", info=b""):
    flags = shell_link.IS_UNICODE if unicode else 0
    data = b""
    if id_list:
        flags |= shell_link.HAS_TARGET_ID_LIST
        data += struct.pack("<H", len(id_list)) + id_list
    if info:
        flags |= shell_link.HAS_LINK_INFO
        data += info
    for flag, name in ((shell_link.HAS_NAME, "name"),
                       (shell_link.HAS_RELATIVE_PATH, "relative-path"),
                       (shell_link.HAS_WORKING_DIR, "working-folder"),
                       (shell_link.HAS_ARGUMENTS, "arguments"),
                       (shell_link.HAS_ICON_LOCATION, "icon")):
        if name in strings:
            flags |= flag
            text = strings[name]
            data += struct.pack("<H", len(text))
            data += text.encode("utf-16-le" if unicode else "cp1252")
    header = struct.pack("<I16sII", 0x4C, shell_link.LINK_CLSID, flags, 0x20)
    header += bytes(0x4C - len(header))
    return header + data


class ReadsLinks(unittest.TestCase):
    def test_unicode_link_with_id_list_and_link_info(self):
        data = make_link({"working-folder": "C:\\ProgramData\\Quorvane", "icon": "x.ico"},
                         id_list=bytes(40) + b"\0\0",
                         info=link_info("C:\\Program Files\\Quorvane\\Quorvane.exe", wide=False))
        self.assertEqual(shell_link.read(data), {
            "target": "C:\\Program Files\\Quorvane\\Quorvane.exe",
            "working-folder": "C:\\ProgramData\\Quorvane",
            "icon": "x.ico"})

    def test_the_unicode_path_of_link_info_is_preferred(self):
        data = make_link({}, info=link_info("C:\\Données\\Quorvane.exe", wide=True))
        self.assertEqual(shell_link.read(data)["target"], "C:\\Données\\Quorvane.exe")

    def test_ansi_strings_in_their_order(self):
        data = make_link({"name": "Quorvane", "relative-path": "..\\Quorvane.exe",
                          "working-folder": "D:\\Log", "arguments": "--x"}, unicode=False)
        self.assertEqual(list(shell_link.read(data).items()), [
            ("name", "Quorvane"), ("relative-path", "..\\Quorvane.exe"),
            ("working-folder", "D:\\Log"), ("arguments", "--x")])

    def test_strings_counted_with_their_ending_nul_as_wine_writes_them(self):
        data = make_link({"working-folder": "C:\\ProgramData\\Quorvane\0", "arguments": "\0"})
        self.assertEqual(shell_link.read(data),
                         {"working-folder": "C:\\ProgramData\\Quorvane", "arguments": ""})

    def test_a_link_without_working_folder_has_none(self):
        self.assertNotIn("working-folder", shell_link.read(make_link({"arguments": "a"})))


class RefusesOtherFiles(unittest.TestCase):
    def test_not_a_link(self):
        with self.assertRaisesRegex(shell_link.NotALink, "header"):
            shell_link.read(b"MZ" + bytes(100))

    def test_cut_in_a_string(self):
        data = make_link({"working-folder": "C:\\ProgramData\\Quorvane"})
        with self.assertRaisesRegex(shell_link.NotALink, "working-folder"):
            shell_link.read(data[:-4])

    def test_cut_in_the_id_list(self):
        data = make_link({"working-folder": "C:\\x"}, id_list=bytes(30))
        with self.assertRaises(shell_link.NotALink):
            shell_link.read(data[:0x4C + 10])

    def test_link_info_pointing_outside(self):
        info = bytearray(link_info("C:\\a.exe", wide=False))
        struct.pack_into("<I", info, 16, 500)  # the local base path's offset
        with self.assertRaisesRegex(shell_link.NotALink, "outside"):
            shell_link.read(make_link({}, info=bytes(info)))


class CommandLine(unittest.TestCase):
    def run_main(self, path):
        out, err = io.StringIO(), io.StringIO()
        with redirect_stdout(out), redirect_stderr(err):
            status = shell_link.main(["shell_link.py", path])
        return status, out.getvalue(), err.getvalue()

    def test_prints_the_fields(self):
        path = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"shell-link-test-{os.getpid()}.lnk")
        with open(path, "wb") as link:
            link.write(make_link({"working-folder": "C:\\ProgramData\\Quorvane", "arguments": "/x"},
                                 info=link_info("C:\\Q.exe", wide=False)))
        try:
            status, out, err = self.run_main(path)
        finally:
            os.unlink(path)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out, "target: C:\\Q.exe\nworking-folder: C:\\ProgramData\\Quorvane\n"
                              "arguments: /x\n")

    def test_a_missing_file_is_an_error(self):
        status, out, err = self.run_main("/nonexistent/x.lnk")
        self.assertEqual((status, out), (1, ""))
        self.assertRegex(err, "^quorvane: /nonexistent/x.lnk: not a readable shell link")


if __name__ == "__main__":
    unittest.main()
