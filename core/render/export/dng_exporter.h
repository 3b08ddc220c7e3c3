#pragma once

#include <filesystem>
#include <string>

#include "core/edit/edit_params.h"
#include "core/render/export/dng_converter.h"
#include "core/render/export/dng_file.h"
#include "core/render/export/export_options.h"

// DNG export: the camera's undeveloped sensor data with the edit beside it, as the embedded edit
// record (editsAppliedToPixels false) in a new XMP packet. Nothing is rendered, no GPU is needed
// and no engine lock is taken; the operations keep no state and may run on any thread.
namespace quillmere::DNGExporter {

// The DNG to write for the photo at `originalURL`: a DNG source itself, any other RAW file
// through the external converter of `converter` (the program's setup has none, so such a file
// is refused with externalConverterUnavailable). Only the options' `includeSoftware` and
// `includeEditParameters` are used.
//
// Throws DNGExportError (rasterNotSupported for a JPEG or HEIC source, the converter's cases,
// invalidDNG), ExporterError::imageIOFailure when the record cannot be set or the packet cannot
// be written, EncodingError for an edit that JSON cannot hold, the errors of readDNGFile and the
// system's file and process errors.
std::string data(const std::filesystem::path& originalURL, const EditParams& params,
                 const ExportOptions& options,
                 const DNGConverterSetup& converter = DNGConverterSetup::standard());

// The DNG in `dng` with a new IFD0 that carries a new XMP packet: the old packet without its edit
// records and creator tool, plus the record when `includeEditParameters`, and the creator tool
// and the Software tag "Quillmere" when `includeSoftware` (dngExportXmpPacket). The old packet is
// parsed by the photo reader, on the opened file, within the budget its size sets; a packet that
// does not parse, or that the reader cannot build on within that budget, is replaced by a fresh
// one, which still holds the record. Every byte of `dng` but the header's IFD0 offset stays where
// it was.
//
// Throws as `data` except for the converter's, the file's and the process errors.
std::string embed(OpenedDNG dng, const EditParams& params, const ExportOptions& options);

}  // namespace quillmere::DNGExporter
