#include "cli/cli_session.h"

#include <cctype>
#include <filesystem>
#include <functional>
#include <ostream>
#include <system_error>
#include <vector>

#include "cli/cli_settings.h"
#include "cli/cli_user.h"
#include "cli/exit_codes.h"
#include "cli/modem_lines.h"
#include "cli/outcome_report.h"
#include "cli/program_file.h"
#include "cli/read_command.h"
#include "cli/report_printer.h"
#include "cli/run_log.h"
#include "image/hex_text.h"
#include "image/id_file.h"
#include "link/bring_up.h"
#include "link/id_check.h"
#include "link/mcu_flash.h"
#include "ops/blank_cmd.h"
#include "ops/bpr_cmd.h"
#include "ops/download_cmd.h"
#include "ops/epr_cmd.h"
#include "ops/erase_cmd.h"
#include "ops/program_cmd.h"
#include "ops/read_cmd.h"
#include "platform/file_access.h"
#include "platform/port_match.h"
#include "platform/stop_signals.h"
#include "query/states_cmd.h"
#include "query/version_cmd.h"

namespace kv::cli {

namespace {

constexpr int kBootLoaderMode = 1;
// The return to 9600 bps after a lost reply waits no longer than this for
// each echo: the chip may well be gone.
constexpr uint32_t kAfterLossTimeoutMs = 1000;

std::string RangeText(uint32_t start, uint32_t end) { return ToHex6(start) + "-" + ToHex6(end); }

std::string PagesText(uint32_t pages) { return std::to_string(pages) + (pages == 1 ? " page" : " pages"); }

// The status register, bit by bit, as the status window names the bits.
Fields StatusFields(uint8_t srd, uint8_t srd1, bool lite) {
    const auto word = [](uint8_t value, int bit, const char* set, const char* clear) {
        return std::string((value >> bit) & 1 ? set : clear);
    };
    const char* idWords[] = {"Not yet", "Not match", "", "Match"};
    Fields fields;
    if (!lite) fields.emplace_back("Ready", word(srd, 7, "Ready", "Busy"));
    fields.emplace_back("ID Check", idWords[(srd1 >> 2) & 3]);
    fields.emplace_back("Erase", word(srd, kSrdEraseErrorBit, "Error", "Right"));
    fields.emplace_back("Program", word(srd, kSrdProgramErrorBit, "Error", "Right"));
    fields.emplace_back("After block", word(srd, kSrdBlockErrorBit, "Error", "Right"));
    fields.emplace_back("Check sum", word(srd1, kSrd1ChecksumBit, "Match", "Not match"));
    fields.emplace_back("Data receive timeout", word(srd1, kSrd1ReceiveTimeoutBit, "Timeout", "Right"));
    if (!lite) fields.emplace_back("Over number of data", word(srd1, kSrd1OverNumberBit, "Over", "Right"));
    return fields;
}

class CSession {
public:
    CSession(const Options& options, SessionServices& services)
        : options_(options),
          services_(services),
          printer_(services.out, services.err, options.json,
                   options.quiet || !services.showProgress ? CReportPrinter::ProgressStyle::None
                   : services.errIsTerminal                ? CReportPrinter::ProgressStyle::Bar
                                                           : CReportPrinter::ProgressStyle::Lines),
          settings_(options, services.settings),
          user_(options, printer_, services.clock, services.stopSignal) {
        printer_.Watch(services.watcher);
        printer_.PrintExit(services.printExit);
        if (Logging()) printer_.Keep(&record_.steps);
    }

    int Run() {
        const uint32_t began = services_.clock.TickMs();
        record_.time = UtcNow();
        const int code = RunAll();
        if (options_.retries > 0) printer_.CountRetries(retries_);
        if (logWritable_) WriteLog(code, services_.clock.TickMs() - began);
        printer_.Final(code);
        if (services_.retries) *services_.retries = retries_;
        return code;
    }

private:
    bool Logging() const { return !options_.log.empty(); }

    // The log can take a line: asked before the port opens, so that no board
    // is flashed without its record.
    int CheckLog() {
        if (!Logging()) return kExitOk;
        std::string reason;
        if (!plat::AppendWhole(options_.log, "", reason))
            return Refuse(kExitFile, "--log " + options_.log + ": cannot be written (" + reason + ")");
        logWritable_ = true;
        return kExitOk;
    }

    void WriteLog(int code, uint32_t elapsedMs) {
        record_.port = options_.port;
        record_.portById = plat::StableSerialName(options_.port);
        record_.code = code;
        record_.seconds = elapsedMs / 1000.0;
        record_.retries = retries_;
        std::string reason;
        if (!plat::AppendWhole(options_.log, RunLogLine(record_), reason))
            printer_.Trace("kelvane-cli: warning: --log " + options_.log + ": the record was not written (" + reason +
                           ")");
    }

    int Refuse(int code, const std::string& text) {
        if (DeferredToRetry(nullptr, code, text)) return code;
        printer_.Refusal(code, text);
        return code;
    }

    bool Lite() const { return options_.mode == Mode::Lite; }

    bool NeedsId() const {
        if (options_.mode == Mode::BootLoader) return false;
        for (const Command& c : options_.commands)
            if (c.NeedsId()) return true;
        return false;
    }

    // The index of the first command that names a program file, or -1.
    int FirstWithFile() const {
        for (size_t i = 0; i < options_.commands.size(); ++i)
            if (options_.commands[i].LoadsFile()) return static_cast<int>(i);
        return -1;
    }

    int RunAll() {
        link_ = std::make_unique<CLink>(Lite() ? Edition::Kelvlite : Edition::Kelvane, services_.clock, settings_,
                                        services_.makeDevice(), user_);
        link_->programMode = options_.mode == Mode::BootLoader ? kBootLoaderMode : 0;
        // Only the pages that hold data are programmed and compared.
        link_->imagePagesOnly = true;
        // A board left at the link rate by a run that was cut off is found there.
        link_->searchRatesAtWakeUp = true;
        user_.Attach(link_->Channel());

        // Everything that can be refused is refused before the port opens;
        // each program file is read once, here.
        images_.resize(options_.commands.size());
        for (size_t i = 0; i < options_.commands.size(); ++i) {
            const Command& c = options_.commands[i];
            if (c.kind == Command::Kind::Read) {
                const std::string refusal = CheckReadTarget(c.file);
                if (!refusal.empty()) return Refuse(kExitFile, refusal);
            }
            if (!c.LoadsFile()) continue;
            images_[i] = std::make_unique<CMotFile>();
            const std::string refusal = LoadProgramFile(c, *images_[i]);
            if (!refusal.empty()) return Refuse(kExitFile, refusal);
            if (c.kind == Command::Kind::Download) {
                const Outcome fits = DownloadRangeFits(c, *images_[i]);
                if (!fits.Ok()) return Refuse(kExitUsage, "download: " + FailureText(fits));
            }
        }
        if (NeedsId()) {
            const int code = ResolveId();
            if (code != kExitOk) return code;
        }
        for (size_t i = 0; i < options_.commands.size(); ++i) {
            if (!images_[i]) continue;
            const PageSet& pages = images_[i]->PresentPages();
            const uint32_t first = pages.Lowest(PageSet::kPages) * kPageSize;
            const uint32_t last = pages.Highest(PageSet::kPages) * kPageSize + kPageSize - 1;
            const std::string& file = options_.commands[i].file;
            record_.images.push_back(
                {file == "-" ? "standard input" : file, ImageSha256(*images_[i]), RangeText(first, last)});
        }
        if (const int code = CheckLog(); code != kExitOk) return code;
        if (Lite()) {
            const std::string path = options_.firm.empty() ? FirmwareBesideProgram() : options_.firm;
            bool opened = false;
            if (!LoadSequencerFirmware(path, link_->Routines(), opened))
                return Refuse(kExitFile, path + (opened ? ": not a sequencer firmware file" : ": not found"));
        }

        int code = Attempt(nullptr);
        if (code == kExitOk && user_.StopSignal() == 0) {
            for (size_t i = 0; i < options_.commands.size(); ++i) {
                code = Attempt([this, i] { return RunCommand(i); });
                if (code != kExitOk) break;
                if (user_.StopSignal() != 0 && i + 1 < options_.commands.size()) {
                    code = Stopped(nullptr);
                    break;
                }
            }
        } else if (user_.StopSignal() != 0) {
            code = Stopped(nullptr);
        }
        Finish();
        return code;
    }

    // Runs `work` (none: the bring-up alone) and, while the link is lost and
    // --retry allows, brings the board back and runs it again from its start.
    // Only a lost link is retried: a refused ID, a difference or an error the
    // chip reported would come again.
    int Attempt(const std::function<int()>& work) {
        bool again = !work;
        retriesOfStep_ = 0;
        for (;;) {
            canRetry_ = retries_ < options_.retries;
            int code = again ? BringUp() : kExitOk;
            if (code == kExitOk && work) code = work();
            if (code != kExitLink || !canRetry_ || user_.StopSignal() != 0) return code;
            ++retries_;
            ++retriesOfStep_;
            printer_.Trace("kelvane-cli: retry " + std::to_string(retries_) + " of " +
                           std::to_string(options_.retries) + ": bringing the link back");
            Forget();
            again = true;
        }
    }

    // After a lost link: the board back at 9600 bps where it still answers,
    // the port closed, and the loss forgotten, so that the next bring-up
    // starts afresh.
    void Forget() {
        // The before-sequence resets the board anyway.
        if (options_.before.empty()) BackTo9600AfterLoss();
        link_->Channel().Close();
        user_.ForgetLinkLoss();
        link_->linkReady = 0;
        link_->idVerified = 0;
    }

    // A failure that a retry will follow is told as a trace line, not as
    // the step's result.
    bool DeferredToRetry(const char* command, int code, const std::string& text) {
        if (code != kExitLink || !canRetry_ || user_.StopSignal() != 0) return false;
        printer_.Trace(std::string("kelvane-cli: ") + (command ? std::string(command) + ": " : "") + text);
        return true;
    }

    // A stop signal ends the run after the page in hand: the command that was
    // running says so, and the exit status is 128 + the signal.
    int Stopped(const char* command) {
        const int signal = user_.StopSignal();
        const std::string text = std::string("stopped: ") + plat::StopSignalName(signal) + " received";
        if (command)
            printer_.Result(command, kExitSignalBase + signal, text);
        else
            printer_.Refusal(kExitSignalBase + signal, text);
        return kExitSignalBase + signal;
    }

    // The download's range, found as the download finds it, passes its
    // checks; nothing is sent.
    Outcome DownloadRangeFits(const Command& c, CMotFile& image) {
        user_.BeginCommand(&c);
        link_->Image().Swap(image);
        CDownloadCmd download(*link_);
        uint32_t start = 0;
        uint32_t end = 0;
        download.FindRange(start, end);
        const Outcome fits = download.CheckRange(start, end);
        link_->Image().Swap(image);
        return fits;
    }

    std::string FirmwareBesideProgram() const {
        const std::filesystem::path self(services_.selfPath);
        return (self.parent_path() / "firm.mot").string();
    }

    // The ID and the MCU type, found as the ID dialog finds them: the type from
    // the first program file's range, then from its ID file (the ".id" file
    // beside it, whatever the program file's name).
    int ResolveId() {
        int mcuType = kVireoM;
        const int withFile = FirstWithFile();
        if (withFile >= 0) mcuType = McuTypeOf(*images_[static_cast<size_t>(withFile)]);
        IdBytes id{};
        if (options_.id) {
            id = *options_.id;
        } else {
            std::string idPath = options_.idFile;
            std::string looked;
            if (idPath.empty() && withFile >= 0) {
                looked = IdFileBeside(options_.commands[static_cast<size_t>(withFile)].file);
                std::error_code ec;
                if (!looked.empty() && std::filesystem::exists(looked, ec)) idPath = looked;
            }
            if (idPath.empty())
                return Refuse(kExitUsage, "--id: the chip's ID is needed (--id HEX or --id-file FILE)" +
                                              (looked.empty() ? std::string() : "; " + looked + " not found"));
            const IdFileScan scan = ReadIdFile(idPath, mcuType);
            if (!scan.opened) return Refuse(kExitFile, idPath + ": cannot be read");
            if (const std::string fault = IdFileFault(idPath, scan); !fault.empty()) return Refuse(kExitFile, fault);
            mcuType = scan.mcuType;
            id = IdBytesOf(ToTexts(scan));
        }
        if (options_.mcuType) mcuType = *options_.mcuType;
        mcuType_ = mcuType;
        // Programming or comparing data the chip has no flash for cannot succeed.
        for (size_t i = 0; i < options_.commands.size(); ++i) {
            const Command& c = options_.commands[i];
            if (!images_[i] || (c.kind != Command::Kind::Write && c.kind != Command::Kind::Verify)) continue;
            const std::string outside =
                CheckImageInFlash(c.file == "-" ? "standard input" : c.file, *images_[i], mcuType);
            if (!outside.empty()) return Refuse(kExitFile, outside);
        }
        idFrame_ = BuildIdFrame(IdAddress(mcuType), id);
        return kExitOk;
    }

    static std::array<std::string, 7> ToTexts(const IdFileScan& scan) {
        std::array<std::string, 7> texts;
        for (size_t i = 0; i < texts.size(); ++i) texts[i] = scan.ids[i].value_or("");
        return texts;
    }

    // A failed step of the bring-up or of a command, as its result line says it.
    int Failed(const char* command, const Outcome& outcome) {
        int code = ExitCodeFor(outcome);
        std::string text = FailureText(outcome);
        // How the reply was lost says more than where.
        if (outcome.kind == OutcomeKind::LinkLost && user_.LinkLost())
            text = user_.LostText() + (outcome.reason.empty() ? "" : "; " + outcome.reason);
        if (command) {
            if (!DeferredToRetry(command, code, text)) printer_.Result(command, code, text, OutcomeFields(outcome));
            return code;
        }
        return Refuse(code, text);
    }

    // Opens the port and wakes the boot loader as the dialog programs' start-up does.
    int BringUp() {
        user_.BeginCommand(nullptr);
        // The board put into its boot loader by the modem lines, when told how.
        const auto beforeLines = [this] {
            if (options_.before.empty() || RunLineSequence(link_->Channel(), services_.clock, options_.before))
                return Outcome::Done(Operation::Link);
            linesRefused_ = true;
            return Outcome::Of(OutcomeKind::PortUnavailable, Operation::Link);
        };
        const Outcome up = kv::BringUp(*link_, options_.port, beforeLines);
        if (linesRefused_) {
            opened_ = true;
            return Refuse(kExitPort,
                          "--before: " + options_.port + " takes no modem-line changes (it has no DTR and RTS)");
        }
        if (up.kind == OutcomeKind::PortUnavailable) {
            // The system's reason on the line, what to do about it after it.
            const std::string& why = up.reason;
            const size_t lineEnd = why.find('\n');
            const int code = Refuse(kExitPort, "--port: cannot open " + options_.port +
                                                   (why.empty() ? "" : " (" + why.substr(0, lineEnd) + ")"));
            if (lineEnd != std::string::npos && !options_.quiet) printer_.Trace(why.substr(lineEnd + 1));
            return code;
        }
        opened_ = true;
        // A stop cut the bring-up short: the stop, not a lost link, is the reason.
        if (!up.Ok() && user_.StopSignal() != 0) return kExitSignalBase + user_.StopSignal();
        if (!up.Ok() || user_.LinkFailure()) {
            const Outcome failure = user_.LinkFailure().value_or(up);
            if (failure.phase == Phase::Sync) return Refuse(kExitLink, "no answer from the chip on " + options_.port);
            std::string text = user_.LinkLost() ? user_.LostText() : FailureText(failure);
            // A Vireo/L chip does not take kelvane's rate codes.
            if (failure.cause == Cause::RateRefused && !Lite()) text += "; for a Vireo/L chip use --mode lite";
            return Refuse(kExitLink, text);
        }
        // The record names the loader even of a board that refuses the ID.
        if (Logging() && record_.loaderVersion.empty()) record_.loaderVersion = CVersionCmd(*link_).Run().text;
        if (NeedsId()) return Unlock();
        return kExitOk;
    }

    // The ID check as the ID dialog's OK runs it at start-up: the status, the
    // ID check command, the status that tells.
    int Unlock() {
        IdState state = IdState::NotYet;
        Outcome checked = ReadIdState(*link_, state);
        if (checked.Ok()) checked = CheckId(*link_, idFrame_);
        return checked.Ok() ? kExitOk : Failed(nullptr, checked);
    }

    // The main panel's link probe before an operation.
    bool Probe(bool forMode, Outcome& failure) {
        if (forMode ? ProbeForMode(*link_) : ProbeStatus(*link_)) return true;
        failure = Outcome::Lost(Operation::Link);
        failure.reason = link_->programMode == kBootLoaderMode && forMode ? "the boot loader does not answer"
                                                                          : "no status reply from the chip";
        return false;
    }

    template <class Cmd>
    Outcome Perform(bool probe = true) {
        Outcome failure;
        if (probe && !Probe(false, failure)) return failure;
        Cmd cmd(*link_);
        return cmd.Run();
    }

    Outcome Info(std::string& done, Fields& fields) {
        Outcome failure;
        if (!Probe(true, failure)) return failure;
        const Outcome version = CVersionCmd(*link_).Run();
        if (!version.Ok()) return version;
        const Outcome status = Perform<CStatesCmd>();
        if (!status.Ok()) return status;
        fields = {{"version", version.text}};
        for (const auto& f : StatusFields(status.srd, status.srd1, Lite())) fields.push_back(f);
        fields.emplace_back("ID state", link_->idVerified ? "verified" : "not verified");
        done = "version " + version.text;
        for (size_t i = 1; i < fields.size(); ++i) done += ", " + fields[i].first + ": " + fields[i].second;
        return status;
    }

    Outcome Write(const Command& c, std::string& done) {
        Outcome result;
        if (c.erase && c.blankCheck) {
            result = Perform<CEraseCmd>();
            if (result.Ok()) result = Perform<CBPRCmd>();
        } else if (c.erase) {
            result = Perform<CEPRCmd>();
        } else if (c.blankCheck) {
            result = Perform<CBPRCmd>();
        } else {
            result = Perform<CProgramCmd>();
            if (c.verify && result.Ok()) result = Perform<CReadCmd>();
        }
        done = "programmed";
        if (c.erase || c.blankCheck || c.verify) done += " and checked";
        return result;
    }

    int RunCommand(size_t index) {
        const Command& c = options_.commands[index];
        user_.BeginCommand(&c);
        // Once only: a command run again after a retry finds its image in place.
        if (images_[index] && imageInLink_ != static_cast<int>(index)) {
            link_->Image().Swap(*images_[index]);
            imageInLink_ = static_cast<int>(index);
        }
        std::string done;
        Fields fields;
        Outcome result;
        switch (c.kind) {
            case Command::Kind::Info: result = Info(done, fields); break;
            case Command::Kind::Unlock:
                done = options_.mode == Mode::BootLoader ? "the boot loader has no ID check" : "ID verified";
                break;
            case Command::Kind::Erase: result = Perform<CEraseCmd>(); break;
            case Command::Kind::Write: result = Write(c, done); break;
            case Command::Kind::Verify:
                result = Perform<CReadCmd>();
                done = "no difference";
                break;
            case Command::Kind::BlankCheck:
                result = Perform<CBlankCmd>();
                done = "blank";
                break;
            case Command::Kind::Download: {
                Outcome failure;
                result = Probe(true, failure) ? CDownloadCmd(*link_).Run() : failure;
                done = "downloaded";
                break;
            }
            case Command::Kind::Read: {
                Outcome failure;
                const FlashRange flash = FlashOf(options_.mcuType.value_or(mcuType_));
                result = Probe(false, failure) ? ReadToFile(*link_, c, {flash.first, flash.last}, done) : failure;
                break;
            }
        }
        const auto range = user_.LastRange();
        const uint32_t pages = user_.LastPages();
        if (c.blankRest && result.Ok() && range) {
            result = CBlankCmd(*link_).RestOfImageRange(range->first, range->second);
        }
        const char* name = CommandName(c.kind);
        // A read whose file is written is done, whatever came after it.
        const bool written = c.kind == Command::Kind::Read && result.Ok();
        if (user_.StopSignal() != 0 && !written) return Stopped(name);
        if (!result.Ok()) return Failed(name, result);
        if (range) {
            done += " " + RangeText(range->first, range->second);
            fields.emplace_back("range", RangeText(range->first, range->second));
            // Where only some pages of the range hold data, the line says how many.
            const uint32_t inRange = (range->second - range->first) / kPageSize + 1;
            if (pages != inRange) done += " (" + PagesText(pages) + ")";
            if (c.blankRest) done += ", the rest blank";
            fields.emplace_back("pages", std::to_string(pages));
        }
        if (retriesOfStep_ > 0) {
            done += " (after " + std::to_string(retriesOfStep_) + (retriesOfStep_ == 1 ? " retry)" : " retries)");
            fields.emplace_back("retries", std::to_string(retriesOfStep_));
        }
        if (!options_.quiet || options_.json)
            printer_.Result(name, kExitOk, done, fields);
        else if (Logging())
            record_.steps.push_back({name, kExitOk, done});
        return kExitOk;
    }

    // Leaves the link at 9600 bps, as the dialog programs' Exit does, where
    // the chip still answers. After a lost reply the port is opened again at
    // the rate the link had: a board whose reply was cut, or that stayed
    // busy, still listens there.
    void Finish() {
        if (!opened_) return;
        // The after-sequence starts the program: the reset puts the chip at
        // 9600 bps, and a return there first would only cost its time.
        if (!options_.after.empty()) {
            CSerialComm& channel = link_->Channel();
            if ((channel.IsOpen() || channel.Open(options_.port)) &&
                !RunLineSequence(channel, services_.clock, options_.after))
                printer_.Trace("kelvane-cli: warning: --after: the port takes no modem-line changes");
            return;
        }
        if (user_.LinkLost()) {
            BackTo9600AfterLoss();
            return;
        }
        user_.BeginCommand(nullptr);
        const Outcome back = link_->ResetTo9600();
        if (!back.Ok() && !user_.LinkLost()) printer_.Trace("kelvane-cli: warning: " + FailureText(back));
    }

    void BackTo9600AfterLoss() {
        if (!opened_ || user_.LostAtRate() == 0 || user_.LostAtRate() == 9600) return;
        CSerialComm& channel = link_->Channel();
        if (!channel.IsOpen() && !channel.Open(options_.port)) return;
        link_->ApplyLineSettings(user_.LostAtRate(), 8, 0, 0);
        channel.SetTimeout(kAfterLossTimeoutMs);
        user_.BeginCommand(nullptr);
        link_->ResetTo9600();
    }

    const Options& options_;
    SessionServices& services_;
    CReportPrinter printer_;
    CCliSettings settings_;
    CCliUser user_;
    std::unique_ptr<CLink> link_;
    std::vector<std::unique_ptr<CMotFile>> images_;
    IdFrame idFrame_{};
    int mcuType_ = kVireoM;  // the ID check's, or --mcu
    bool opened_ = false;
    int imageInLink_ = -1;   // the command whose image the link holds
    int retries_ = 0;        // of the whole run
    int retriesOfStep_ = 0;  // of the step (bring-up or command) in hand
    bool canRetry_ = false;  // a lost link in the step in hand is retried
    RunRecord record_;       // for --log
    bool logWritable_ = false;
    bool linesRefused_ = false;  // the port took no --before step
};

}  // namespace

int RunSession(const Options& options, SessionServices services) {
    CSession session(options, services);
    return session.Run();
}

}  // namespace kv::cli
