#include "rawbridge/raw_check_hand_back.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace quillmere::rawbridge {
namespace {

constexpr std::uint64_t kBytesPerPixel = 4 * sizeof(std::uint16_t);

// Writes all of `bytes` at the file's current offset; false when the file takes no more.
bool writeAll(int file, const void* bytes, std::uint64_t size) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t written = write(file, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<std::uint64_t>(written);
    }
    return true;
}

}  // namespace

DevelopmentHandBack::~DevelopmentHandBack() {
    for (std::size_t index = 0; index < count_; ++index) close(files_[index]);
}

void DevelopmentHandBack::add(raw_check::DevelopmentKind kind, const DevelopedImage& developed) {
    if (count_ == files_.size()) return;
    raw_check::DevelopmentHeader header;
    header.kind = static_cast<std::uint32_t>(kind);
    header.width = developed.width;
    header.height = developed.height;
    header.iso = developed.iso;
    header.pixelBytes = static_cast<std::uint64_t>(developed.width) *
                        static_cast<std::uint64_t>(developed.height) * kBytesPerPixel;
    const int file = memfd_create("quillmere-development", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (file < 0) return;
    if (writeAll(file, &header, sizeof header) &&
        writeAll(file, developed.rgba.get(), header.pixelBytes) &&
        fcntl(file, F_ADD_SEALS, raw_check::kDevelopmentSeals) == 0) {
        files_[count_++] = file;
        return;
    }
    close(file);
}

void DevelopmentHandBack::send(int channel, std::string_view verdict) const {
    iovec bytes{const_cast<char*>(verdict.data()), verdict.size()};
    msghdr message{};
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof files_)] = {};
    if (count_ > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(count_ * sizeof(int));
        cmsghdr* rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(count_ * sizeof(int));
        std::memcpy(CMSG_DATA(rights), files_.data(), count_ * sizeof(int));
    }
    ssize_t sent = 0;
    while ((sent = sendmsg(channel, &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    if (sent < 0 && count_ > 0) {
        message.msg_control = nullptr;
        message.msg_controllen = 0;
        while (sendmsg(channel, &message, MSG_NOSIGNAL) < 0 && errno == EINTR) {
        }
    }
}

}  // namespace quillmere::rawbridge
