#include "core/reading/channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cstring>

#include "core/reading/sealed_file.h"
#include "core/reading/wire.h"

namespace quillmere {
namespace {

using reader_protocol::kMaxFilesPerMessage;
using reader_protocol::kMaxMessageBytes;
using reader_protocol::MessageKind;

struct Channel {
    Channel() {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        ours.reset(ends[0]);
        theirs.reset(ends[1]);
    }
    // Sends `packet` as it is, with `files`.
    void sendRaw(const std::string& packet, const std::vector<int>& files = {}) const {
        iovec bytes{const_cast<char*>(packet.data()), packet.size()};
        msghdr message{};
        message.msg_iov = &bytes;
        message.msg_iovlen = 1;
        std::vector<unsigned char> control(CMSG_SPACE(files.size() * sizeof(int)));
        if (!files.empty()) {
            message.msg_control = control.data();
            message.msg_controllen = control.size();
            cmsghdr* rights = CMSG_FIRSTHDR(&message);
            *rights = {CMSG_LEN(files.size() * sizeof(int)), SOL_SOCKET, SCM_RIGHTS};
            std::memcpy(CMSG_DATA(rights), files.data(), files.size() * sizeof(int));
        }
        ASSERT_EQ(sendmsg(theirs.get(), &message, 0), static_cast<ssize_t>(packet.size()));
    }
    UniqueDescriptor ours, theirs;
};

// The lowest descriptor number free now: the next a message's descriptor takes.
int nextDescriptor() {
    const int next = dup(0);
    close(next);
    return next;
}

TEST(Channel, BodiesOfAnySizeArriveWhole) {
    const Channel channel;
    // The largest that fits in a packet beside kind and flag, the smallest that does not, and one
    // far larger.
    for (const std::size_t size :
         {kMaxMessageBytes - 5, kMaxMessageBytes - 4, std::size_t{300'000}}) {
        const std::string body(size, 'b');
        ASSERT_TRUE(sendMessage(channel.theirs.get(), MessageKind::answer, body));
        const ChannelReceipt receipt = receiveMessage(channel.ours.get(), false);
        EXPECT_EQ(receipt.status, ChannelReceipt::Status::message);
        EXPECT_EQ(receipt.message.body, body) << size;
    }
    EXPECT_EQ(receiveMessage(channel.ours.get(), false).status, ChannelReceipt::Status::nothingYet);
}

TEST(Channel, APacketThatIsNoMessageIsNotReadAndItsDescriptorsAreClosed) {
    const std::string answer = inlinePacket(MessageKind::answer, "body");
    const auto inFile = [](std::uint64_t bytes) {
        return WireWriter().u32(5).boolean(true).u64(bytes).take();
    };
    const UniqueDescriptor sealed =
        makeSealedFile(4, [](std::byte* bytes) { std::memcpy(bytes, "body", 4); });
    const std::vector<int> tooMany(kMaxFilesPerMessage + 1, sealed.get());
    const std::vector<int> farTooMany(kMaxFilesPerMessage + 3, sealed.get());
    const UniqueDescriptor unsealed(memfd_create("test", MFD_CLOEXEC));
    ASSERT_EQ(ftruncate(unsealed.get(), 4), 0);
    const std::pair<std::string, std::vector<int>> packets[] = {
        {inlinePacket(MessageKind::answer, std::string(kMaxMessageBytes - 4, 'b')), {}},
        {inlinePacket(static_cast<MessageKind>(7), "body"), {}},
        {WireWriter().u32(5).u8(2).take(), {}},
        {answer, tooMany},
        {answer, farTooMany},
        {inFile(4), {}},
        {inFile(5), {sealed.get()}},
        {inFile(4), {unsealed.get()}},
    };
    const Channel channel;
    for (const auto& [packet, files] : packets) {
        channel.sendRaw(packet, files);
        const int next = nextDescriptor();
        EXPECT_THROW(receiveMessage(channel.ours.get(), false), WireError) << packet.size();
        EXPECT_EQ(nextDescriptor(), next);
    }
    // A message's descriptors the program cannot take all (it may open no more) are cut off.
    channel.sendRaw(answer, {sealed.get(), sealed.get()});
    rlimit open{};
    getrlimit(RLIMIT_NOFILE, &open);
    const int next = nextDescriptor();
    const rlimit fewer{static_cast<rlim_t>(next + 1), open.rlim_max};
    setrlimit(RLIMIT_NOFILE, &fewer);
    EXPECT_THROW(receiveMessage(channel.ours.get(), false), WireError);
    setrlimit(RLIMIT_NOFILE, &open);
    EXPECT_EQ(nextDescriptor(), next);

    channel.sendRaw(inFile(4), {sealed.get(), sealed.get()});
    const ChannelReceipt receipt = receiveMessage(channel.ours.get(), false);
    EXPECT_EQ(receipt.message.body, "body");
    EXPECT_EQ(receipt.message.files.size(), 1u);
}

}  // namespace
}  // namespace quillmere
