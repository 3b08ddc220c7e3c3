// fake_development_helper HANDBACK MEMORY_BYTES CPU_SECONDS PROGRAM_PID FILE
//
// A stand-in for the RAW checking helper that reads no file. It sends the program the verdict
// "read" with a half-size development (3 × 2 pixels counting from 100, ISO 200) and a full one
// (6 × 4 counting from 1000, ISO 200), as HANDBACK says: "honest"; "unsealed", the full one
// without its write seal; "three", another half-size one too; "memory", the verdict "memory".
#include <sys/socket.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "tests/decode/development_files.h"

int main(int argc, char** argv) {
    using namespace quillmere::testing;
    using Kind = quillmere::raw_check::DevelopmentKind;
    if (argc != 6) return 2;
    const std::string_view handBack = argv[1];
    const DevelopmentFile half = development(Kind::half, 3, 2, 100, 200.0f);
    DevelopmentFile full = development(Kind::full, 6, 4, 1000, 200.0f);
    if (handBack == "unsealed") full.seals &= ~F_SEAL_WRITE;
    std::vector<int> sent{makeDevelopmentFile(half), makeDevelopmentFile(full)};
    if (handBack == "three") sent.push_back(makeDevelopmentFile(half));

    std::string_view verdict = handBack == "memory" ? "memory" : "read";
    iovec bytes{const_cast<char*>(verdict.data()), verdict.size()};
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
