// fake_development_helper HANDBACK MEMORY_BYTES CPU_SECONDS PROGRAM_PID FILE
//
// A stand-in for the RAW checking helper that reads no file: it writes the verdict "read" (for the
// HANDBACK "memory", "memory") on its channel to the program with the developments HANDBACK names
// (see below), honest or not, as a broken or compromised helper might hand them back.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/decode/development_files.h"

namespace {

using namespace quillmere::testing;
using quillmere::raw_check::DevelopmentKind;

// The honest developments: the half-size one 3 × 2 pixels at ISO 200, the full one 6 × 4.
DevelopmentFile half() { return honestDevelopment(DevelopmentKind::half, 3, 2, 100, 200.0f); }
DevelopmentFile full() { return honestDevelopment(DevelopmentKind::full, 6, 4, 1000, 200.0f); }

// What each HANDBACK sends: an honest half-size development, and a full one broken as HANDBACK
// says; "honest", "memory" and "three" break none, and "three" sends another half-size one.
std::vector<int> descriptors(std::string_view handBack, const char* photo) {
    DevelopmentFile broken = full();
    if (handBack == "unsealed") broken.seals &= ~F_SEAL_WRITE;
    if (handBack == "short") broken.sizeChange = -8;
    if (handBack == "long") broken.sizeChange = 8;
    // Over the largest image the program takes, its size true to its header (a sparse file).
    if (handBack == "huge") {
        broken = honestDevelopment(DevelopmentKind::full, 16385, 16384, 0);
    }
    // Its byte count that of one pixel fewer, and the file as long as that.
    if (handBack == "miscounted") broken.header.pixelBytes -= 8;
    std::vector<int> sent{makeDevelopmentFile(half()), makeDevelopmentFile(broken)};
    // An honest development in a file on disk beside the photo, which can change at any time.
    if (handBack == "file") {
        close(sent[1]);
        sent[1] = open((std::string(photo) + ".development").c_str(),
                       O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (!writeDevelopmentFile(sent[1], full())) sent[1] = -1;
    }
    if (handBack == "three") sent.push_back(makeDevelopmentFile(half()));
    return sent;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::vector<int> sent = descriptors(argv[1], argv[5]);
    char read[] = "read", memory[] = "memory";
    char* verdict = std::string_view(argv[1]) == "memory" ? memory : read;
    iovec bytes{verdict, std::strlen(verdict)};
    std::vector<unsigned char> control(CMSG_SPACE(sent.size() * sizeof(int)));
    msghdr message{};
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sent.size() * sizeof(int));
    std::memcpy(CMSG_DATA(rights), sent.data(), sent.size() * sizeof(int));
    return sendmsg(3, &message, MSG_NOSIGNAL) > 0 ? 0 : 1;
}
