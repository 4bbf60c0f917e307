#include "query/version_cmd.h"

#include <cstring>

#include "link/link.h"

namespace kv {

namespace {
constexpr const char* kReferenceVersion = "VER.2.01";
constexpr const char* kNoVersion = "ERROR";
}  // namespace

std::string CVersionCmd::VersionText(const uint8_t (&reply)[8]) {
    const void* zero = std::memchr(reply, 0, sizeof reply);
    const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - reply) : sizeof reply;
    return std::string(reinterpret_cast<const char*>(reply), length);
}

bool CVersionCmd::AboveReference(const std::string& text) {
    // strcmp compares as unsigned char, up to the terminating zero.
    return std::strcmp(text.c_str(), kReferenceVersion) > 0;
}

Outcome CVersionCmd::Run() {
    CSerialComm& channel = app_.Channel();
    std::string text = kNoVersion;
    bool answered = false;
    // A version that cannot be read is shown as "ERROR"; the link is left alone.
    if (app_.Transport().Prepare(kVersionRead)) {
        const uint8_t code = kVersionRead;
        channel.Write(&code, 1);
        uint8_t reply[kVersionLength] = {};
        if (channel.Read(reply, sizeof reply) == static_cast<int>(sizeof reply)) {
            text = VersionText(reply);
            answered = true;
            app_.Transport().Conclude();
        }
    }
    app_.User().Trace(AboveReference(text) ? " old \n" : " new \n");

    app_.User().ShowVersion(text);
    Outcome result = answered ? Outcome::Done(Operation::Version) : Outcome::Lost(Operation::Version);
    result.text = text;
    return result;
}

}  // namespace kv
