#include <gtest/gtest.h>

#include <system_error>

#include "core/render/export/exporter_error.h"

namespace quillmere {
namespace {

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
