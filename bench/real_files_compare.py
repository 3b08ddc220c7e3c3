"""What bench/real_files compares of two builds' answers: an exported JPEG's picture apart from its
metadata, and the fields of a photo's metadata, each a key and a value in text. The window's
fields are the image properties and the edit record the decode tool prints as JSON; an export's
are the EXIF, IPTC and XMP tags the exiv2 program lists in it."""

import hashlib
import json
import re
from dataclasses import dataclass

# The JPEG segments that carry metadata (EXIF and XMP in APP1, IPTC in APP13): left out of a
# picture's digest, so that what an export loses shows among its tags, not as another picture.
METADATA_SEGMENTS = {0xE1, 0xED}
START_OF_SCAN = 0xDA

# exiv2's key of a tag: family, group and name, "Exif.Photo.ISOSpeedRatings".
TAG_LINE = re.compile(r"^(Exif|Iptc|Xmp)\.\S+\.\S+")
# Tags whose value is where something lies in the file (a directory, a thumbnail, strips): an
# export that moves its bytes changes them without losing anything, so only their presence counts.
WHERE_TAG = re.compile(r"\.(ExifTag|GPSTag|InteroperabilityTag|SubIFDs|\w*IFD|\w*Offsets?|"
                       r"JPEGInterchangeFormat|\w*Start)$")
SHOWN_VALUE = 60


def picture_digest(data):
    """SHA-256 of a JPEG without its metadata segments; of all its bytes when it is no JPEG (a
    DNG) or its segments do not follow each other up to the coded picture."""
    if data[:2] == b"\xff\xd8":
        kept, at = [data[:2]], 2
        while at + 4 <= len(data) and data[at] == 0xFF:
            marker = data[at + 1]
            if marker == START_OF_SCAN:
                kept.append(data[at:])
                return hashlib.sha256(b"".join(kept)).hexdigest()
            end = at + 2 + int.from_bytes(data[at + 2:at + 4], "big")
            if marker not in METADATA_SEGMENTS:
                kept.append(data[at:end])
            at = end
    return hashlib.sha256(data).hexdigest()


def tags_listed(text):
    """The fields of the output of "exiv2 -PEIXkv": a key and its value per line. A value that
    runs over lines (an XMP text) continues on lines that start no key; a key named again (an
    IPTC keyword) collects its values in order."""
    fields, key = {}, None
    for line in text.splitlines():
        start = TAG_LINE.match(line)
        if start:
            key = start.group(0)
            value = line[start.end():].strip()
            fields[key] = f"{fields[key]} | {value}" if key in fields else value
        elif key is not None:
            fields[key] += "\n" + line
    return fields


def flattened(value, prefix=""):
    """The fields of a JSON object: one per leaf, keyed by its path ("properties.{Exif}.FNumber"),
    valued by its JSON text. A list is one field; null is no field (the record of a file that
    has none)."""
    if isinstance(value, dict):
        fields = {}
        for key, inner in value.items():
            fields.update(flattened(inner, f"{prefix}.{key}" if prefix else key))
        return fields
    return {} if value is None else {prefix: json.dumps(value, ensure_ascii=False)}


@dataclass
class FieldChanges:
    """How B's fields of one photo differ from A's."""
    lost: list       # keys A has and B has not
    changed: list    # (key, A's value, B's value), where-tags left out
    gained: list     # keys B has and A has not

    def __bool__(self):
        return bool(self.lost or self.changed or self.gained)


def field_changes(a, b):
    return FieldChanges(
        lost=sorted(key for key in a if key not in b),
        changed=[(key, a[key], b[key]) for key in sorted(a)
                 if key in b and a[key] != b[key] and not WHERE_TAG.search(key)],
        gained=sorted(key for key in b if key not in a))


def shown(value):
    """A value in one short line."""
    text = " ".join(value.split())
    return text if len(text) <= SHOWN_VALUE else text[:SHOWN_VALUE - 1] + "…"
