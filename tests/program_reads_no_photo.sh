#!/usr/bin/env bash
# Usage: tests/program_reads_no_photo.sh PROGRAM...
# The program reads no photo's bytes with a library: every library that does runs in the photo
# reader (quillmere-reader). Lists the symbols each built program takes from its libraries
# (nm -u, demangled) and fails on any of the readings below. Writing the program's own JPEG's
# metadata from memory stays in the program: Exiv2 opening an image in memory is not one of them.
set -euo pipefail
# What the program must not do, and the symbols (an extended regular expression) that do it.
readings=(
  "Exiv2's reading of a file's EXIF" 'Exiv2::ExifParser::decode\('
  "Exiv2's reading of a file's XMP" 'Exiv2::XmpParser::decode\('
  "Exiv2's opening of a file by its path" 'Exiv2::ImageFactory::open\(std::(__cxx11::)?(basic_)?string'
)
status=0
for program in "$@"; do
  symbols=$(nm -uC "$program")
  for ((index = 0; index < ${#readings[@]}; index += 2)); do
    if found=$(grep -E "${readings[index + 1]}" <<<"$symbols"); then
      echo "$program references ${readings[index]}:"
      echo "$found"
      status=1
    fi
  done
done
exit $status
