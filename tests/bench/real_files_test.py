#!/usr/bin/env python3
"""bench/real_files against stand-in builds whose tools do what each photo's text says: answer a
size, refuse, crash, hang, or export bytes that differ between the two builds; and the harness's
comparison of pictures and metadata fields."""

import hashlib
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

BENCH = Path(__file__).resolve().parents[2] / "bench"
HARNESS = BENCH / "real_files"
sys.path.insert(0, str(BENCH))
from real_files_compare import field_changes, flattened, picture_digest, tags_listed  # noqa: E402

# A photo's first line is "<open> <export>": open is a size "WxH" (the thumbnail is half of it),
# "refuse", "crash", "sanitizer" or "hang", which both tools do; build B exports "changed" photos
# otherwise than build A, and a build may refuse one photo of its own. Its second line, if any, is
# its metadata, "Key=Value ...", which the window shows and exports carry but for the key a build
# loses. A tool runs only with its own build's RAW checking helper named, or none for a build
# with a reader; old tools know none of the options that print or write metadata.
TOOL = r"""#!/bin/bash
usage() { echo "usage: $(basename "$0") USAGE" >&2; exit 2; }
[ $# -ge ARGUMENTS ] || usage
options=("${@:1:$#-ARGUMENTS}")
for option in "${options[@]}"; do
  case " OPTIONS " in *" $option "*) ;; *) usage ;; esac
done
PHOTO=${@: -ARGUMENTS:1}
helper=FOLDER/rawbridge/quillmere-raw-check
[ -x $helper ] || helper=
[ "$QUILLMERE_RAW_CHECK" = "$helper" ] || {
  echo "$(basename "$0"): run with helper '$QUILLMERE_RAW_CHECK'" >&2; exit 1; }
asked() { [[ " ${options[*]} " == *" $1 "* ]]; }
fields() {  # prints the photo's metadata as "Key<tab>Value" lines, less the key this build loses
  for tag in $(sed -n 2p "$PHOTO"); do
    [ "${tag%%=*}" = "LOSES" ] || printf '%s\t%s\n' "${tag%%=*}" "${tag#*=}"
  done
}
read -r what rest < "$PHOTO"
[ "$(basename "$PHOTO")" = REFUSES ] && what=refuse
case $what in
  refuse) echo "$(basename "$0"): Cannot decode $(basename "$PHOTO")." >&2
          echo "leak report: nothing" >&2; exit 1 ;;
  crash) kill -SEGV $$ ;;
  sanitizer) echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow" >&2; exit 1 ;;
  hang) echo $$ > "$PHOTO.pid"; exec sleep 30 ;;
esac
"""
DECODE = TOOL.replace("ARGUMENTS", "1") + r"""w=${what%x*}; h=${what#*x}
if asked --thumbnail; then
  echo "$((w / 2)) × $((h / 2))"
  asked --digest && echo "pixels-of-$what"
  exit 0
fi
echo "$w × $h"
asked --properties && fields | awk -F '\t' \
  '{printf "%s\"%s\":\"%s\"", (NR > 1 ? "," : "{\"properties\":{"), $1, $2}
   END {print (NR ? "}" : "{\"properties\":{}") ",\"editRecord\":null}"}'
exit 0
"""
EXPORT = TOOL.replace("ARGUMENTS", "2") + r"""salt=$([ "$rest" = changed ] && echo BUILD)
asked --dng && [[ $PHOTO != *.dng ]] && { echo "$(basename "$0"): DNG preserves RAW data." >&2
                                          exit 1; }
printf '%s %s' "$(head -n 1 "$PHOTO")" "$salt" > "${@: -1}"
# what the tag lister reads of the export
{ fields; asked --sheet-defaults && printf 'Xmp.quillmere.EditRecord\t{}\n'; } > "${@: -1}.tags"
exit 0
"""
TAG_LISTER = '#!/bin/sh\nfor last; do :; done\ncat "$last.tags" 2>/dev/null\n'
OLD = {"decode": ("--thumbnail", "[--thumbnail] <photo>"),
       "export": ("", "<photo> <output.jpg>")}
NEW = {"decode": ("--thumbnail --digest --properties",
                  "[--properties | --thumbnail [--digest]] <photo>"),
       "export": ("--dng --sheet-defaults", "[--dng] [--sheet-defaults] <photo> <output>")}


def make_build(folder, name, salt=None, helper="raw-check", tools=OLD, loses="-", refuses="-"):
    build = Path(folder).resolve() / name
    (build / "bench/tools").mkdir(parents=True)
    for tool, text, kind in (("quillmere_decode_photo", DECODE, "decode"),
                             ("quillmere_export_photo", EXPORT, "export")):
        options, usage = tools[kind]
        text = text.replace("OPTIONS", options).replace("USAGE", usage).replace("LOSES", loses)
        text = text.replace("FOLDER", str(build)).replace("REFUSES", refuses)
        (build / "bench/tools" / tool).write_text(text.replace("BUILD", salt or name))
        (build / "bench/tools" / tool).chmod(0o755)
    place = {"raw-check": "rawbridge/quillmere-raw-check", "reader": "reader/quillmere-reader"}
    if helper:
        (build / place[helper]).parent.mkdir()
        (build / place[helper]).write_text("#!/bin/sh\n")
        (build / place[helper]).chmod(0o755)
    return build


def harness(*arguments, environment=None):
    """Runs the harness with a stand-in tag lister that reads what the stand-in exports wrote."""
    with tempfile.TemporaryDirectory() as tools:
        (Path(tools) / "exiv2").write_text(TAG_LISTER)
        (Path(tools) / "exiv2").chmod(0o755)
        variables = dict(os.environ, PATH=f"{tools}:{os.environ['PATH']}")
        variables.pop("QUILLMERE_RAW_CHECK", None)
        variables.update(environment or {})
        return subprocess.run(
            [sys.executable, str(HARNESS), "--timeout", "1", *map(str, arguments)],
            capture_output=True, text=True, timeout=60, env=variables)


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

    def plain_photos(self, name, photos):
        folder = Path(self.folder.name) / name
        for file, text in photos.items():
            (folder / file).parent.mkdir(parents=True, exist_ok=True)
            (folder / file).write_text(text + "\nExif.Image.Make=Canon Exif.Image.Model=EOS\n")
        return folder

    def test_compare_tells_per_kind_what_b_lost(self):
        photos = self.plain_photos("lost", {"jpeg/a.jpg": "64x48 same", "jpeg/b.jpg": "64x48 same",
                                            "dng/c.dng": "32x24 same",
                                            "dng/d.dng": "32x24 changed"})
        a = make_build(self.folder.name, "new-A", salt="A", tools=NEW)
        b = make_build(self.folder.name, "new-B", salt="B", tools=NEW, loses="Exif.Image.Model",
                       refuses="b.jpg")
        result = harness("--compare", a, b, photos)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertNotIn("Left out", result.stdout)
        table = result.stdout.split("Per kind")[1].split("\n\n")[0].splitlines()[2:]
        # B loses the model everywhere, and all of b.jpg: its two properties and three tags (the
        # make, the model and the edit record of the export sheet); d.dng's exports differ.
        self.assertEqual([line.split() for line in table], [
            ["dng", "2", "2", "2", "0", "1", "1", "2/2", "2/2", "2/2"],
            ["jpeg", "2", "2", "1", "1", "0", "0", "2/3", "2/4", "0/0"],
            ["all", "4", "4", "3", "1", "1", "1", "4/5", "4/6", "2/2"]])
        fields = result.stdout.split("Fields that differ")[1].split("\n\n")[0]
        self.assertIn("  JPEG export tags lost (2 photos):\n"
                      "    jpeg/a.jpg:\n      Exif.Image.Model\n"
                      "    jpeg/b.jpg: all 3 (B refused: Cannot decode b.jpg.)", fields)
        self.assertIn("  DNG export tags lost (2 photos):\n    dng/c.dng:\n      Exif.Image.Model",
                      fields)
        self.assertIn("    jpeg/a.jpg:\n      properties.Exif.Image.Model\n", fields)

    def test_tools_that_print_less_are_compared_on_what_both_print(self):
        photos = self.plain_photos("plain", {"jpeg/a.jpg": "64x48 same", "dng/c.dng": "32x24 same"})
        new = make_build(self.folder.name, "new", salt="A", tools=NEW)
        result = harness("--compare", self.a, new, photos)
        # the old tools are never given an option they do not know, nor the new ones an option
        # the old do not have: the same photos answer alike
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("No photo differs", result.stdout)
        self.assertIn("No field differs", result.stdout)
        self.assertEqual([line.split("(")[1] for line in result.stdout.splitlines()
                          if line.startswith("Left out: ")],
                         [f"A's tools have no {option})." for option in
                          ("--properties", "--digest", "--dng", "--sheet-defaults")])
        self.assertIn("-", result.stdout.split("Per kind")[1].splitlines()[2].split())

    def test_each_build_runs_with_its_own_helper(self):
        photos = self.plain_photos("helper", {"jpeg/a.jpg": "64x48 same",
                                              "dng/c.dng": "32x24 same"})
        reader = make_build(self.folder.name, "reader", salt="A", helper="reader")
        elsewhere = {"QUILLMERE_RAW_CHECK": f"{self.b}/rawbridge/quillmere-raw-check"}
        result = harness("--compare", self.a, reader, photos, environment=elsewhere)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("No photo differs", result.stdout)


class ComparisonTest(unittest.TestCase):
    def test_tags_listed_keep_values_over_lines_and_repeated_keys(self):
        listing = ("Exif.Image.Make                Canon\n"
                   "Iptc.Application2.Keywords     sky\n"
                   "Iptc.Application2.Keywords     sea\n"
                   "Xmp.dc.description             lang=\"x-default\" first\n"
                   "second line\n"
                   "Exif.Photo.UserComment\n")
        self.assertEqual(tags_listed(listing), {
            "Exif.Image.Make": "Canon", "Iptc.Application2.Keywords": "sky | sea",
            "Xmp.dc.description": 'lang="x-default" first\nsecond line',
            "Exif.Photo.UserComment": ""})

    def test_window_fields_are_the_leaves_of_the_json(self):
        shown = {"properties": {"{Exif}": {"FNumber": 5.6, "ISOSpeedRatings": [100]},
                                "Orientation": 1, "{TIFF}": {}}, "editRecord": None}
        self.assertEqual(flattened(shown), {"properties.{Exif}.FNumber": "5.6",
                                            "properties.{Exif}.ISOSpeedRatings": "[100]",
                                            "properties.Orientation": "1"})

    def test_field_changes_compare_only_the_presence_of_where_tags(self):
        a = {"Exif.Image.Make": "Canon", "Exif.Image.Model": "EOS", "Exif.Image.ExifTag": "188",
             "Exif.Thumbnail.JPEGInterchangeFormat": "400", "Exif.Photo.FNumber": "56/10",
             "Exif.Photo.OffsetTime": "+01:00"}
        b = {"Exif.Image.Make": "Canon", "Exif.Image.ExifTag": "200",
             "Exif.Thumbnail.JPEGInterchangeFormat": "412", "Exif.Photo.FNumber": "28/10",
             "Exif.Photo.OffsetTime": "+02:00", "Xmp.tiff.Software": "Quillmere"}
        changes = field_changes(a, b)
        self.assertEqual(changes.lost, ["Exif.Image.Model"])
        self.assertEqual(changes.changed, [("Exif.Photo.FNumber", "56/10", "28/10"),
                                           ("Exif.Photo.OffsetTime", "+01:00", "+02:00")])
        self.assertEqual(changes.gained, ["Xmp.tiff.Software"])
        self.assertFalse(field_changes(a, dict(a)))

    def test_picture_digest_leaves_out_the_metadata_segments_only(self):
        def segment(marker, body):
            return bytes([0xFF, marker]) + (len(body) + 2).to_bytes(2, "big") + body

        start, jfif = b"\xff\xd8", segment(0xE0, b"JFIF\0")
        tables, scan = segment(0xDB, b"\0" * 65), segment(0xDA, b"\1\2") + b"coded\xff\xd9"
        picture = hashlib.sha256(start + jfif + tables + scan).hexdigest()
        for metadata in (b"", segment(0xE1, b"Exif\0\0MM"),
                         segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0<x/>")
                         + segment(0xED, b"Photoshop 3.0\0")):
            self.assertEqual(picture_digest(start + jfif + metadata + tables + scan), picture)
        recoded = scan.replace(b"coded", b"other")
        self.assertNotEqual(picture_digest(start + jfif + tables + recoded), picture)
        self.assertNotEqual(picture_digest(start + segment(0xE2, b"ICC_PROFILE\0") + jfif + tables
                                           + scan), picture)
        self.assertEqual(picture_digest(b"II*\0dng"), hashlib.sha256(b"II*\0dng").hexdigest())


if __name__ == "__main__":
    unittest.main()
