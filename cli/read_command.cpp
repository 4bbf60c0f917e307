#include "cli/read_command.h"

#include <algorithm>
#include <iostream>

#include "image/image_writer.h"
#include "link/check_memory_cmd.h"
#include "link/link.h"
#include "platform/file_access.h"

namespace kv::cli {

namespace {

const char* FormatText(ImageFormat format) {
    switch (format) {
        case ImageFormat::SRecord: return "S-records";
        case ImageFormat::IntelHex: return "Intel HEX";
        case ImageFormat::Binary: return "raw binary";
    }
    return "";
}

}  // namespace

std::string CheckReadTarget(const std::string& path) {
    if (path == "-") return "";
    std::string reason;
    if (!plat::CheckFileCanBeWritten(path, reason)) return path + ": " + reason;
    return "";
}

CPageLoop::End ReadPages(CLink& link, uint32_t start, uint32_t end, CMotFile& image) {
    CCheckMemorryCmd reader(link);
    CPageLoop loop(link, start, end);
    if (!loop.Open("Read.", "Read")) return CPageLoop::End::Stopped;
    CSerialComm& channel = link.Channel();
    uint8_t page[kPageSize];
    CPageLoop::Steps steps;
    // The read check's exchange: purge, then the page read with its own purge
    // and time-out. No pause: the next request follows the last reply byte.
    steps.work = [&](uint32_t address) {
        channel.Purge();
        if (!reader.ReadPage(channel, page, address)) return false;
        if (std::any_of(page, page + kPageSize, [](uint8_t b) { return b != 0xFF; }))
            image.Put(address, page, kPageSize);
        return true;
    };
    const CPageLoop::End how = loop.Run(steps);
    loop.Close();
    return how;
}

Outcome ReadToFile(CLink& link, const Command& command, std::pair<uint32_t, uint32_t> flash, std::string& done) {
    const auto [start, end] = command.range.value_or(flash);
    const ImageFormat format = command.format.value_or(ImageFormat::SRecord);
    CMotFile image;
    switch (ReadPages(link, start, end, image)) {
        case CPageLoop::End::Completed: break;
        case CPageLoop::End::Cancelled:  // a stop signal, which the run reports
            return Outcome::Of(OutcomeKind::Stopped, Operation::Read);
        case CPageLoop::End::Stopped: {  // a lost reply
            Outcome lost = Outcome::Lost(Operation::Read);
            lost.reason = command.file + " was not written";
            return lost;
        }
    }
    // A stop that came after the last page still leaves the old file: the
    // run reports the stop, and nothing it reports may be half true.
    if (link.User().StopRequested()) return Outcome::Of(OutcomeKind::Stopped, Operation::Read);
    ImageWriteOptions options;
    options.start = start;
    options.end = end;
    options.allPages = command.allPages;
    if (command.WritesStandardOutput()) {
        if (!WriteImage(format, image, options, std::cout) || !std::cout.flush()) {
            Outcome refused = Outcome::Of(OutcomeKind::InputRefused, Operation::Read);
            refused.file = "standard output";
            refused.reason = "could not be written";
            return refused;
        }
        done = std::string("written to standard output as ") + FormatText(format) + ",";
        return Outcome::Done(Operation::Read);
    }
    std::string reason;
    const bool written = plat::WriteFileAtomically(
        command.file, [&](std::ostream& out) { return WriteImage(format, image, options, out); }, reason);
    if (!written) {
        Outcome refused = Outcome::Of(OutcomeKind::InputRefused, Operation::Read);
        refused.file = command.file;
        refused.reason = reason;
        return refused;
    }
    done = std::string("saved to ") + command.file + " as " + FormatText(format) + ",";
    return Outcome::Done(Operation::Read);
}

}  // namespace kv::cli
