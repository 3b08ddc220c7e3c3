#pragma once

#include <libraw/libraw.h>

#include <cstdint>

namespace quillmere::rawbridge {

// The most sensor samples that the bytes from the start of an opened file's image data to its end
// can hold; 0 when the file has no image data there. Nothing LibRaw makes from a file, its
// unpacked sensor or any development of it, may exceed this.
//
// A colour-filter mosaic takes at least one bit a sample in the codings LibRaw reads it in:
// Huffman codes (lossless JPEG in DNG and CR2, the Nikon, Pentax and Canon CRW codings) are a bit
// or longer, fixed-rate packings (Sony ARW, Panasonic) take eight bits or more, and the adaptive
// codings (Fujifilm, Canon CR3) spend bits on every sample of a real photo's noise. Real files hold
// about one sample a byte (the real DNG of the test data 0.57, the synthetic ones the tests write
// 0.5; lossless compression of a camera's noisy samples halves their size at best). Half a bit a
// sample, 16 samples a byte, is twice as dense as the densest Huffman coding there is (a
// perfectly flat frame) and refuses a file that states 64 million samples in 1 MB. Full-colour
// pixels may be coded lossily (a lossy DNG spends a few bits on an 8 × 8 block of each colour),
// so they keep the wider bound of an eighth of a bit a sample they always had.
std::uint64_t samplesHeld(LibRaw& raw);

// Whether an opened file holds the sensor samples it states (samplesHeld). Tools that strip a RAW
// file down to its metadata keep the header, which LibRaw opens, unpacks and develops
// "successfully" into a flat or garbage picture; a hostile file states a sensor far larger than
// its bytes could code, which LibRaw would unpack and develop at that size.
bool holdsImageData(LibRaw& raw);

// Fails with "The RAW file holds no image data." unless holdsImageData.
void requireImageData(LibRaw& raw);

}  // namespace quillmere::rawbridge
