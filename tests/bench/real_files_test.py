#!/usr/bin/env python3
"""bench/real_files against stand-in builds whose tools do what each photo's text says: answer a
size, refuse, crash, hang, or export bytes that differ between the two builds."""

import hashlib
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

HARNESS = Path(__file__).resolve().parents[2] / "bench/real_files"

# A photo's text is "<open> <export>": open is a size "WxH" (the thumbnail is half of it),
# "refuse", "crash", "sanitizer" or "hang", which both tools do; build B exports "changed" photos
# otherwise than build A.
TOOL = r"""#!/bin/bash
read -r what rest < "$PHOTO"
case $what in
  refuse) echo "$(basename "$0"): Cannot decode $(basename "$PHOTO")." >&2
          echo "leak report: nothing" >&2; exit 1 ;;
  crash) kill -SEGV $$ ;;
  sanitizer) echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow" >&2; exit 1 ;;
  hang) echo $$ > "$PHOTO.pid"; exec sleep 30 ;;
esac
"""
DECODE = TOOL.replace("$PHOTO", "${@: -1}") + r"""w=${what%x*}; h=${what#*x}
[ "$1" = --thumbnail ] && { w=$((w / 2)); h=$((h / 2)); }
echo "$w × $h"
"""
EXPORT = TOOL.replace("$PHOTO", "$1") + r"""salt=$([ "$rest" = changed ] && echo BUILD)
printf '%s %s' "$(cat "$1")" "$salt" > "$2"
"""


def make_build(folder, name, salt=None, helper=True):
    build = Path(folder) / name
    (build / "bench/tools").mkdir(parents=True)
    (build / "rawbridge").mkdir()
    for tool, text in (("quillmere_decode_photo", DECODE),
                       ("quillmere_export_photo", EXPORT.replace("BUILD", salt or name))):
        (build / "bench/tools" / tool).write_text(text)
        (build / "bench/tools" / tool).chmod(0o755)
    if helper:
        (build / "rawbridge/quillmere-raw-check").write_text("#!/bin/sh\n")
        (build / "rawbridge/quillmere-raw-check").chmod(0o755)
    return build


def harness(*arguments):
    return subprocess.run([sys.executable, str(HARNESS), "--timeout", "1", *map(str, arguments)],
                          capture_output=True, text=True, timeout=60)


class RealFilesTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        root = Path(self.folder.name)
        self.photos = root / "photos"
        for name, text in {"jpeg/a.jpg": "640x480 same", "jpeg/b.jpg": "64x48 changed",
                           "heic/c.heic": "refuse same", "raw/d.dng": "crash same",
                           "raw/e.dng": "hang same", "raw/g.nef": "sanitizer same",
                           "f.jpeg": "8x6 same", "NOTES.md": "not a photo"}.items():
            (self.photos / name).parent.mkdir(parents=True, exist_ok=True)
            (self.photos / name).write_text(text + "\n")
        self.a, self.b = make_build(root, "A"), make_build(root, "B")

    def tearDown(self):
        self.folder.cleanup()

    def test_each_photo_gets_its_answers_digest_and_costs(self):
        result = harness(self.a, self.photos)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = {line.split("\t")[0]: line.split("\t") for line in result.stdout.splitlines()[1:]}
        self.assertEqual(set(rows), {"jpeg/a.jpg", "jpeg/b.jpg", "heic/c.heic", "raw/d.dng",
                                     "raw/e.dng", "raw/g.nef", "f.jpeg"})
        expected = {  # file: kind, open, thumbnail, export
            "jpeg/a.jpg": ("jpeg", "640 × 480", "320 × 240",
                           hashlib.sha256(b"640x480 same ").hexdigest()),
            "jpeg/b.jpg": ("jpeg", "64 × 48", "32 × 24",
                           hashlib.sha256(b"64x48 changed A").hexdigest()),
            "heic/c.heic": ("heic",) + ("refused: Cannot decode c.heic.",) * 3,
            "raw/d.dng": ("raw",) + ("crashed: SIGSEGV",) * 3,
            "raw/e.dng": ("raw",) + ("timed out after 1 s",) * 3,
            "raw/g.nef": ("raw",)
            + ("exited 1: ==1==ERROR: AddressSanitizer: heap-buffer-overflow",) * 3,
            "f.jpeg": ("jpeg", "8 × 6", "4 × 3", hashlib.sha256(b"8x6 same ").hexdigest()),
        }
        for file, (kind, opened, thumbnail, export) in expected.items():
            row = rows[file]
            self.assertEqual((row[1], row[2], row[5], row[8]), (kind, opened, thumbnail, export))
            for seconds, megabytes in ((row[3], row[4]), (row[6], row[7]), (row[9], row[10])):
                self.assertGreaterEqual(float(seconds), 0)
                if "timed out" not in row[2]:
                    self.assertGreater(float(megabytes), 0)
        # the hung tool is killed, not left behind
        pid = int((self.photos / "raw/e.dng.pid").read_text())
        deadline = time.monotonic() + 5
        while Path(f"/proc/{pid}").exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertFalse(Path(f"/proc/{pid}").exists())

    def test_compare_names_only_what_differs_and_sums_costs_per_kind(self):
        (self.photos / "raw/e.dng").unlink()
        twin = make_build(self.folder.name, "A2", salt="A")
        same = harness("--compare", self.a, twin, self.photos)
        self.assertEqual(same.returncode, 0, same.stdout + same.stderr)
        self.assertIn("No photo differs", same.stdout)

        differ = harness("--compare", self.a, self.b, self.photos)
        self.assertEqual(differ.returncode, 1, differ.stderr)
        listed = differ.stdout.split("Photos that differ (1):\n")[1].split("\n\n")[0].splitlines()
        self.assertEqual(listed[0], "jpeg/b.jpg")
        self.assertEqual([line.split() for line in listed[1:]],
                         [["export", "A", hashlib.sha256(b"64x48 changed A").hexdigest()],
                          ["B", hashlib.sha256(b"64x48 changed B").hexdigest()]])
        self.assertEqual(differ.stdout.count("raw/d.dng: crashed: SIGSEGV"), 6)
        summary = differ.stdout.split("Costs")[1].splitlines()[2:]
        self.assertEqual([(line.split()[0], line.split()[1], line.split()[2]) for line in summary],
                         [(kind, step, count) for kind, count in
                          (("heic", "1"), ("jpeg", "3"), ("raw", "2"), ("all", "6"))
                          for step in ("open", "thumbnail", "export")])

    def test_a_build_without_its_tools_is_named(self):
        broken = make_build(self.folder.name, "C", helper=False)
        result = harness("--compare", self.a, broken, self.photos)
        self.assertEqual(result.returncode, 2)
        self.assertIn(f"{broken}/rawbridge/quillmere-raw-check is missing", result.stderr)
        self.assertEqual(harness(self.a, self.photos / "none").returncode, 2)


if __name__ == "__main__":
    unittest.main()
