// quillmere_orientation_agreement <jpeg>...
//
// Reads the EXIF orientation of each JPEG twice: as the photo reader reads it for the pixels
// (JpegFile::orientationOf, the program's own reader of the first EXIF segment) and as Exiv2 0.27
// reads it (the file's metadata read whole, Exif.Image.Orientation taken as the program takes it:
// the first value of an integer type, 1 to 8, anything else 1). Prints one line for each file
// where they differ, then how many files were read, how many Exiv2 finds turned (an orientation
// other than 1) and how many differ; the exit status is 1 when any differs.
#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "reader/jpeg/jpeg_file.h"
#include "tests/fixtures/exiv2_orientation.h"

int main(int argc, char** argv) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    int read = 0, turned = 0, differ = 0;
    for (int argument = 1; argument < argc; ++argument) {
        std::ifstream file(argv[argument], std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), {});
        if (!file.good() && !file.eof()) {
            std::cerr << "quillmere_orientation_agreement: cannot read " << argv[argument] << '\n';
            return 2;
        }
        ++read;
        const int ours = quillmere::JpegFile::orientationOf(bytes);
        const int exiv2 = quillmere::fixtures::exiv2JpegOrientation(bytes).value_or(1);
        if (exiv2 != 1) ++turned;
        if (ours != exiv2) {
            ++differ;
            std::cout << argv[argument] << ": reader " << ours << ", Exiv2 " << exiv2 << '\n';
        }
    }
    std::cout << read << " files, " << turned << " turned, " << differ << " differ\n";
    return differ == 0 ? 0 : 1;
}
