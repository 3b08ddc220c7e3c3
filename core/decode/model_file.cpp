#include "core/decode/model_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "core/decode/core_ml_denoiser_error.h"
#include "core/decode/onnx_model_description.h"

namespace quillmere {
namespace {

// The system's description of `error`, as a cause within a sentence: "permission denied".
std::string causeOf(int error) {
    std::string cause = std::generic_category().message(error);
    if (!cause.empty())
        cause[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(cause[0])));
    return cause;
}

class Descriptor {
  public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

}  // namespace

std::string readModelFile(const std::filesystem::path& path) {
    // Without blocking, so that opening a pipe returns at once; the check below refuses it.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw CoreMLDenoiserError::invalidModel("model file is missing");
        }
        throw CoreMLDenoiserError::unreadableModel(causeOf(errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        throw CoreMLDenoiserError::unreadableModel(causeOf(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw CoreMLDenoiserError::unreadableModel("it is not a regular file");
    }
    // Read to the end rather than to the size the file states: a file of the kernel's own states
    // none.
    std::string contents;
    contents.reserve(static_cast<std::size_t>(
        std::clamp<off_t>(status.st_size, 0, ONNXModelDescription::largestModelBytes)));
    std::array<char, 1 << 16> buffer;
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
        if (got == 0) return contents;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw CoreMLDenoiserError::unreadableModel(causeOf(errno));
        }
        contents.append(buffer.data(), static_cast<std::size_t>(got));
        if (contents.size() > ONNXModelDescription::largestModelBytes) {
            throw CoreMLDenoiserError::invalidModel("model file is not an ONNX model");
        }
    }
}

}  // namespace quillmere
