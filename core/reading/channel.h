#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/reading/reader_protocol.h"
#include "core/reading/unique_descriptor.h"

namespace quillmere {

// One message on the channel between the program and a reader (reader_protocol.h): one packet of
// the SOCK_SEQPACKET socket, its descriptors sent with it (SCM_RIGHTS). The packet holds the kind
// (u32), whether the body is in a memory file (boolean) and then the body itself, or, for a body
// that does not fit in a packet, its size (u64), the body then being in a sealed memory file sent
// as the first descriptor. Whoever receives a message sees its body either way.
struct ChannelMessage {
    reader_protocol::MessageKind kind = reader_protocol::MessageKind::request;
    std::string body;
    std::vector<UniqueDescriptor> files;
};

// Sends one message with at most kMaxFilesPerMessage descriptors, which stay the caller's; false
// when it could not be sent (the other side's end is closed, or memory for a large body's file ran
// out). Never raises SIGPIPE.
bool sendMessage(int channel, reader_protocol::MessageKind kind, std::string_view body,
                 std::span<const int> files = {});

// The packet of a message whose body fits in one and that carries no descriptors, as sendMessage
// sends it: for a sender that can only send bytes made before (a signal handler).
std::string inlinePacket(reader_protocol::MessageKind kind, std::string_view body);

struct ChannelReceipt {
    enum class Status {
        message,     // `message` holds it
        ended,       // the other side closed its end, and every message it sent was read
        nothingYet,  // (without waiting) no message is there yet
    };
    Status status = Status::ended;
    ChannelMessage message;
};

// Receives the next message, waiting for it when `wait`. Throws WireError, with every descriptor
// that came with it closed, for a packet that is no message: longer than kMaxMessageBytes, with
// more descriptors than kMaxFilesPerMessage (and its body's file) or descriptors cut off, of an
// unknown kind, or with a body file that is not sealed, not of the size the packet says, or
// larger than kMaxBodyBytes.
ChannelReceipt receiveMessage(int channel, bool wait);

}  // namespace quillmere
