#include "reader/service/answer_file.h"

#include <new>

#include "core/reading/sealed_file.h"
#include "reader/service/allocation_note.h"

namespace quillmere::reader {

UniqueDescriptor sealedAnswerFile(std::uint64_t bytes,
                                  const std::function<void(std::byte*)>& fill) {
    UniqueDescriptor file = makeSealedFile(
        bytes,
        [&](std::byte* pages) {
            const PagesTakenAsWritten noted(pages, static_cast<std::size_t>(bytes));
            fill(pages);
        },
        SealedFilePages::asWritten);
    if (!file) throw std::bad_alloc();
    return file;
}

}  // namespace quillmere::reader
