#include <gtest/gtest.h>

#include <system_error>

#include "core/photo/gpu_render_engine_error.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/exporter_error.h"

namespace quillmere {
namespace {

TEST(RenderErrorsTest, GPURenderEngineErrorTexts) {
    const GPURenderEngineError allocation =
        GPURenderEngineError::textureAllocationFailed(6000, 4000);
    EXPECT_STREQ(allocation.what(), "Could not allocate a 6000 \xC3\x97 4000 image.");
    EXPECT_EQ(allocation.width(), 6000);
    EXPECT_EQ(allocation.height(), 4000);
    EXPECT_STREQ(GPURenderEngineError::renderFailed("Could not read the rendered image.").what(),
                 "Could not read the rendered image.");
    EXPECT_STREQ(GPURenderEngineError::gpuUnavailable().what(), "A Metal GPU is required.");
}

TEST(RenderErrorsTest, DNGExportErrorTexts) {
    using Code = DNGExportError::Code;
    EXPECT_STREQ(DNGExportError(Code::invalidDNG).what(),
                 "The source is not a supported classic TIFF-based DNG.");
    EXPECT_STREQ(DNGExportError(Code::converterRequired).what(),
                 "Install Adobe DNG Converter in Applications to export this RAW as a DNG. "
                 "Existing DNG files can be exported directly.");
    EXPECT_STREQ(DNGExportError(Code::conversionFailed).what(),
                 "Adobe DNG Converter could not convert this RAW file.");
    EXPECT_STREQ(DNGExportError(Code::rasterNotSupported).what(),
                 "DNG preserves RAW data. JPEG and HEIC photos should be exported as JPEG.");
    EXPECT_STREQ(DNGExportError(Code::externalConverterUnavailable).what(),
                 "This edition exports existing DNG files directly. Export other RAW formats as "
                 "JPEG, or convert them to DNG before opening them in Quillmere.");
    EXPECT_EQ(DNGExportError(Code::invalidDNG), DNGExportError(Code::invalidDNG));
    EXPECT_FALSE(DNGExportError(Code::invalidDNG) == DNGExportError(Code::conversionFailed));
}

TEST(RenderErrorsTest, ExporterErrorKeepsTheSystemErrorAndHasNoSentenceOfItsOwn) {
    const auto underlying = std::make_exception_ptr(
        std::system_error(std::make_error_code(std::errc::no_space_on_device), "write"));
    const ExporterError writeFailed = ExporterError::writeFailed(underlying);
    EXPECT_EQ(writeFailed.code(), ExporterError::Code::writeFailed);
    EXPECT_THROW(std::rethrow_exception(writeFailed.underlying()), std::system_error);
    EXPECT_EQ(ExporterError::imageIOFailure().underlying(), nullptr);
    EXPECT_STREQ(ExporterError::imageIOFailure().what(),
                 "The operation couldn’t be completed. (QuillmereCore.ExporterError error 3.)");
}

}  // namespace
}  // namespace quillmere
