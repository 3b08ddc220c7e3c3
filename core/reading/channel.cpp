#include "core/reading/channel.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "core/reading/sealed_file.h"
#include "core/reading/wire.h"

namespace quillmere {
namespace {

using reader_protocol::kMaxBodyBytes;
using reader_protocol::kMaxFilesPerMessage;
using reader_protocol::kMaxMessageBytes;
using reader_protocol::MessageKind;

// The kind and the boolean that say how the body goes.
constexpr std::size_t kHeaderBytes = 4 + 1;
// Room for the descriptors of a message, its body's file and one more, which tells a message
// with too many.
constexpr std::size_t kMostDescriptors = kMaxFilesPerMessage + 2;

bool isKind(std::uint32_t kind) {
    return kind >= static_cast<std::uint32_t>(MessageKind::request) &&
           kind <= static_cast<std::uint32_t>(MessageKind::memory);
}

// Every descriptor that came with `message`, owned.
std::vector<UniqueDescriptor> descriptorsOf(const msghdr& message) {
    std::vector<UniqueDescriptor> taken;
    for (const cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(header))) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t index = 0; index < count; ++index) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header) + index * sizeof(int), sizeof descriptor);
            taken.emplace_back(descriptor);
        }
    }
    return taken;
}

}  // namespace

std::string inlinePacket(MessageKind kind, std::string_view body) {
    std::string packet = WireWriter().u32(static_cast<std::uint32_t>(kind)).boolean(false).take();
    return packet.append(body);
}

bool sendMessage(int channel, MessageKind kind, std::string_view body, std::span<const int> files) {
    if (files.size() > kMaxFilesPerMessage || body.size() > kMaxBodyBytes) return false;
    const bool inFile = body.size() > kMaxMessageBytes - kHeaderBytes;
    UniqueDescriptor bodyFile;
    std::vector<int> descriptors;
    std::string packet;
    if (inFile) {
        bodyFile = makeSealedFile(
            body.size(), [&](std::byte* bytes) { std::memcpy(bytes, body.data(), body.size()); });
        if (!bodyFile) return false;
        packet = WireWriter()
                     .u32(static_cast<std::uint32_t>(kind))
                     .boolean(true)
                     .u64(body.size())
                     .take();
        descriptors.push_back(bodyFile.get());
    } else {
        packet = inlinePacket(kind, body);
    }
    descriptors.insert(descriptors.end(), files.begin(), files.end());

    iovec bytes{packet.data(), packet.size()};
    msghdr message{};
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(kMostDescriptors * sizeof(int))] = {};
    if (!descriptors.empty()) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(descriptors.size() * sizeof(int));
        cmsghdr* rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(descriptors.size() * sizeof(int));
        std::memcpy(CMSG_DATA(rights), descriptors.data(), descriptors.size() * sizeof(int));
    }
    ssize_t sent = 0;
    while ((sent = sendmsg(channel, &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return sent == static_cast<ssize_t>(packet.size());
}

ChannelReceipt receiveMessage(int channel, bool wait) {
    // One byte more than a message may have, to tell one that is longer.
    std::string packet(kMaxMessageBytes + 1, '\0');
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(kMostDescriptors * sizeof(int))];
    iovec into{packet.data(), packet.size()};
    msghdr message{};
    message.msg_iov = &into;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = 0;
    while ((got = recvmsg(channel, &message, MSG_CMSG_CLOEXEC | (wait ? 0 : MSG_DONTWAIT))) < 0 &&
           errno == EINTR) {
    }
    ChannelReceipt receipt;
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            receipt.status = ChannelReceipt::Status::nothingYet;
        return receipt;
    }
    // Closed whatever becomes of the message.
    std::vector<UniqueDescriptor> descriptors = descriptorsOf(message);
    if (got == 0) return receipt;
    // A packet that filled the room of one byte more than a message was longer than a message.
    if (static_cast<std::size_t>(got) > kMaxMessageBytes) {
        throw WireError("A message is longer than a message may be.");
    }
    if ((message.msg_flags & MSG_CTRUNC) != 0) {
        throw WireError("A message's descriptors were cut off.");
    }
    packet.resize(static_cast<std::size_t>(got));
    WireReader header(packet);
    const std::uint32_t kind = header.u32();
    if (!isKind(kind)) throw WireError("A message is of no kind the channel knows.");
    const bool inFile = header.boolean();
    if (descriptors.size() > kMaxFilesPerMessage + (inFile ? 1 : 0)) {
        throw WireError("A message came with more descriptors than a message may.");
    }
    receipt.status = ChannelReceipt::Status::message;
    receipt.message.kind = static_cast<MessageKind>(kind);
    if (inFile) {
        const std::uint64_t bytes = header.u64();
        header.finish();
        if (descriptors.empty() || bytes > kMaxBodyBytes) {
            throw WireError("A message's body is not where its message says.");
        }
        const std::optional<SealedFile> body =
            SealedFile::accept(descriptors.front().release(), bytes);
        if (!body) throw WireError("A message's body is not in a sealed file of its size.");
        receipt.message.body.assign(reinterpret_cast<const char*>(body->data()),
                                    static_cast<std::size_t>(body->size()));
        descriptors.erase(descriptors.begin());
    } else {
        receipt.message.body = packet.substr(kHeaderBytes);
    }
    receipt.message.files = std::move(descriptors);
    return receipt;
}

}  // namespace quillmere
