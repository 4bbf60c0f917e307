#include "cli/modem_lines.h"

#include <charconv>

namespace kv::cli {

namespace {
constexpr uint32_t kMaxWaitMs = 10000;
}  // namespace

std::optional<LineSequence> ParseLineSequence(const std::string& text, std::string& error) {
    LineSequence steps;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string step = text.substr(at, comma - at);
        at = comma + 1;
        const size_t eq = step.find('=');
        const std::string name = step.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : step.substr(eq + 1);
        uint32_t number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        const bool isNumber = !value.empty() && ec == std::errc() && end == value.data() + value.size();
        if ((name == "dtr" || name == "rts") && isNumber && number <= 1) {
            steps.push_back({name == "dtr" ? LineStep::Kind::Dtr : LineStep::Kind::Rts, number});
        } else if (name == "wait" && isNumber && number <= kMaxWaitMs) {
            steps.push_back({LineStep::Kind::Wait, number});
        } else {
            error = "\"" + step + "\" is none of dtr=0|1, rts=0|1, wait=MS (0 to " + std::to_string(kMaxWaitMs) + ")";
            return std::nullopt;
        }
    }
    return steps;
}

bool RunLineSequence(CIoController& channel, plat::IClock& clock, const LineSequence& steps) {
    using Line = plat::ISerialDevice::ModemLine;
    for (const LineStep& step : steps) {
        if (step.kind == LineStep::Kind::Wait) {
            clock.SleepMs(step.value);
        } else if (!channel.SetModemLine(step.kind == LineStep::Kind::Dtr ? Line::Dtr : Line::Rts, step.value != 0)) {
            return false;
        }
    }
    return true;
}

}  // namespace kv::cli
