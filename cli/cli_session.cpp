#include "cli/cli_session.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/cli_user.h"
#include "cli/exit_codes.h"
#include "cli/program_file.h"
#include "cli/read_command.h"
#include "cli/report_printer.h"
#include "cli/run_profile.h"
#include "image/id_check_dlg.h"
#include "image/id_file.h"
#include "image/save_ini.h"
#include "link/command.h"
#include "link/link.h"
#include "link/status_read.h"
#include "ops/blank_cmd.h"
#include "ops/bpr_cmd.h"
#include "ops/download_cmd.h"
#include "ops/epr_cmd.h"
#include "ops/erase_cmd.h"
#include "ops/program_cmd.h"
#include "ops/read_cmd.h"
#include "query/states_cmd.h"
#include "query/version_cmd.h"
#include "platform/stop_signals.h"
#include "res/strings.h"

namespace kv::cli {

namespace {

constexpr uint32_t kRestingTimeoutMs = 5000;
constexpr uint32_t kAfterSyncMs = 1000;
constexpr uint32_t kAfterCommandMs = 50;
constexpr uint32_t kLiteFirstStatusMs = 1000;
constexpr uint32_t kAfterHandshakeMs = 50;
constexpr uint8_t kCode9600 = 0xB0;
constexpr uint8_t kSequencerReady = 0x11;
constexpr uint8_t kIdStateMask = 0x0C;  // SRD1 bits 3-2: 11 = ID verified
constexpr int kBootLoaderMode = 1;

std::string Hex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

std::string RangeText(uint32_t start, uint32_t end) { return Hex6(start) + "-" + Hex6(end); }

// The status register, bit by bit, as the status window names the bits.
Fields StatusFields(uint8_t srd, uint8_t srd1, bool lite) {
    const auto word = [](uint8_t value, int bit, const char* set, const char* clear) {
        return std::string((value >> bit) & 1 ? set : clear);
    };
    const char* idWords[] = {"Not yet", "Not match", "", "Match"};
    Fields fields;
    if (!lite) fields.emplace_back("Ready", word(srd, 7, "Ready", "Busy"));
    fields.emplace_back("ID Check", idWords[(srd1 >> 2) & 3]);
    fields.emplace_back("Erase", word(srd, 5, "Error", "Right"));
    fields.emplace_back("Program", word(srd, 4, "Error", "Right"));
    fields.emplace_back("After block", word(srd, 3, "Error", "Right"));
    fields.emplace_back("Check sum", word(srd1, 4, "Match", "Not match"));
    fields.emplace_back("Data receive timeout", word(srd1, 1, "Timeout", "Right"));
    if (!lite) fields.emplace_back("Over number of data", word(srd1, 0, "Over", "Right"));
    return fields;
}

class CSession {
public:
    CSession(const Options& options, SessionServices& services)
        : options_(options),
          services_(services),
          printer_(services.out, services.err, options.json,
                   options.quiet || !services.showProgress ? CReportPrinter::ProgressStyle::None
                   : services.errIsTerminal ? CReportPrinter::ProgressStyle::Bar
                                            : CReportPrinter::ProgressStyle::Lines),
          user_(options, printer_, services.clock, services.stopSignal) {
        printer_.Watch(services.watcher);
    }

    int Run() {
        const int code = RunAll();
        printer_.Final(code);
        return code;
    }

private:
    int Refuse(int code, const std::string& text) {
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

    const Command* FirstWithFile() const {
        for (const Command& c : options_.commands)
            if (c.LoadsFile()) return &c;
        return nullptr;
    }

    int RunAll() {
        SetUpProfile();
        link_ = std::make_unique<CLink>(Lite() ? Edition::Kelvlite : Edition::Kelvane, services_.clock, profile_,
                                        services_.makeDevice(), user_);
        link_->programMode = options_.mode == Mode::BootLoader ? kBootLoaderMode : 0;
        user_.Attach(link_->Channel());

        // Everything that can be refused is refused before the port opens.
        for (const Command& c : options_.commands) {
            if (c.kind == Command::Kind::Read) {
                const std::string refusal = CheckReadTarget(c.file);
                if (!refusal.empty()) return Refuse(kExitFile, refusal);
            }
            if (!c.LoadsFile()) continue;
            const std::string refusal = LoadProgramFile(c, link_->Image());
            if (!refusal.empty()) return Refuse(kExitFile, refusal);
            if (c.kind == Command::Kind::Download && !DownloadRangeFits(c))
                return Refuse(kExitUsage, std::string("download: ") + user_.Text());
        }
        if (NeedsId()) {
            const int code = ResolveId();
            if (code != kExitOk) return code;
        }
        // A blank check without a range of its own offers the range of the
        // file named last before it, as the address dialog does.
        link_->Image().Clear();
        if (Lite()) {
            const std::string path = options_.firm.empty() ? FirmwareBesideProgram() : options_.firm;
            bool opened = false;
            if (!LoadSequencerFirmware(path, link_->Routines(), opened))
                return Refuse(kExitFile, path + (opened ? ": not a sequencer firmware file" : ": not found"));
        }

        const int up = BringUp();
        if (up != kExitOk || user_.StopSignal() != 0) {
            Finish();
            return user_.StopSignal() != 0 ? Stopped(nullptr) : up;
        }
        int code = kExitOk;
        for (const Command& c : options_.commands) {
            code = RunCommand(c);
            if (code != kExitOk) break;
        }
        Finish();
        return code;
    }

    // A stop signal ends the run after the page in hand: the command that was
    // running says so, and the exit status is 128 + the signal.
    int Stopped(const char* command) {
        const int signal = user_.StopSignal();
        const std::string text = std::string("stopped: ") + plat::StopSignalName(signal) + " received";
        if (command)
            printer_.Result(command, 128 + signal, text);
        else
            printer_.Refusal(128 + signal, text);
        return 128 + signal;
    }

    // The download's range, found as the download finds it, passes its
    // checks; nothing is sent.
    bool DownloadRangeFits(const Command& c) {
        user_.BeginCommand(&c);
        CDownloadCmd download(*link_);
        uint32_t start = 0;
        uint32_t end = 0;
        if (link_->programMode == kBootLoaderMode)
            download.FindDownloadRange(start, end);
        else
            download.FindImageRange(start, end);
        return download.CheckRange(start, end) != 0;
    }

    std::string FirmwareBesideProgram() const {
        const std::filesystem::path self(services_.selfPath);
        return (self.parent_path() / "firm.mot").string();
    }

    void SetUpProfile() {
        CSaveIni ini(profile_, nullptr);
        ini.SetCommState(options_.LinkBaud(), 8, 0, 0);
        ini.WriteCommState();
        ini.SetDefaultType(options_.oldErase ? "+a" : "-a");
        ini.WriteDefaultType();
        ini.SetFirstData(options_.syncB0 ? "+Z" : "-Z");
        ini.WriteFirstData();
        if (services_.settings) {
            if (const auto pageRead = services_.settings->Get("timeout", "pageread"))
                profile_.Set("timeout", "pageread", *pageRead);
        }
    }

    // The ID and the MCU type, found as the ID dialog finds them: the type from
    // the first program file's range, then from its ID file.
    int ResolveId() {
        int mcuType = 0;
        const Command* withFile = FirstWithFile();
        if (withFile) {
            LoadProgramFile(*withFile, link_->Image());
            mcuType = McuTypeOfImage(*link_);
        }
        CIDCheckDlg::IdTexts texts;
        if (options_.id) {
            for (size_t i = 0; i < texts.size(); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>((*options_.id)[i]));
                texts[i] = hex;
            }
        } else {
            std::string idPath = options_.idFile;
            if (idPath.empty() && withFile) {
                idPath = IdFilePathFor(withFile->file);
                std::error_code ec;
                if (!idPath.empty() && !std::filesystem::exists(idPath, ec)) idPath.clear();
            }
            if (idPath.empty())
                return Refuse(kExitUsage, "--id: the chip's ID is needed (--id HEX or --id-file FILE)");
            const IdFileScan scan = ReadIdFile(idPath, mcuType);
            if (!scan.opened) return Refuse(kExitFile, idPath + ": cannot be read");
            mcuType = scan.mcuType;
            for (size_t i = 0; i < texts.size(); ++i) {
                const auto& text = scan.ids[i];
                if (!text || text->size() != 2 || !std::isxdigit(static_cast<unsigned char>((*text)[0])) ||
                    !std::isxdigit(static_cast<unsigned char>((*text)[1]))) {
                    return Refuse(kExitFile, idPath + ": no ID byte " + std::to_string(i + 1) + " for this MCU type");
                }
                texts[i] = *text;
            }
        }
        if (options_.mcuType) mcuType = *options_.mcuType;
        link_->Image().Clear();
        idFrame_ = CIDCheckDlg::BuildIdFrame(mcuType, texts);
        return kExitOk;
    }

    int LinkFailure(const std::string& fallback) {
        const std::string text = user_.Code() != kExitOk ? user_.Text() : fallback;
        return Refuse(user_.Code() != kExitOk ? user_.Code() : kExitLink, text);
    }

    // Opens the port and wakes the boot loader as the dialog programs' start-up does.
    int BringUp() {
        user_.BeginCommand(nullptr);
        CSerialComm& channel = link_->Channel();
        if (!channel.Open(options_.port)) {
            // The system's reason on the line, what to do about it after it.
            const std::string why = channel.OpenError();
            const size_t lineEnd = why.find('\n');
            const int code = Refuse(kExitPort, "--port: cannot open " + options_.port +
                                                   (why.empty() ? "" : " (" + why.substr(0, lineEnd) + ")"));
            if (lineEnd != std::string::npos && !options_.quiet) printer_.Trace(why.substr(lineEnd + 1));
            return code;
        }
        opened_ = true;
        link_->ApplyLineSettings(9600, 8, 0, 0);
        channel.SetTimeout(kRestingTimeoutMs);

        link_->SendSyncSequence();
        if (!link_->ExpectByte(kCode9600) || (Lite() && !link_->ExpectByte(kSequencerReady))) {
            silent_ = true;
            return Refuse(kExitLink, "no answer from the chip on " + options_.port);
        }
        link_->Sleep(kAfterSyncMs);
        channel.Purge();
        const uint32_t rate =
            link_->RestoreBaudRate(options_.LinkBaud(), 8, 0, 0, IDS_CANNOT_SET_LAST_BAUD);
        if (rate == 0 || user_.Code() != kExitOk)
            return LinkFailure("cannot set " + std::to_string(options_.LinkBaud()) + " bps");

        if (options_.mode == Mode::BootLoader) {
            link_->idVerified = 1;  // the boot loader has no ID check
            link_->linkReady = 1;
        } else if (!(Lite() ? FirstStatusLite() : FirstStatus())) {
            return LinkFailure("no status reply from the chip");
        }
        if (NeedsId()) return Unlock();
        return kExitOk;
    }

    bool FirstStatus() {
        CSerialComm& channel = link_->Channel();
        const StatusReply status = SendStatusRead(*link_, channel, {.purge = true, .recover = false});
        if (!status.answered) return false;
        link_->linkReady = 1;
        link_->ApplyIdCheckState(status.srd1);
        const uint8_t clear = kClearStatus;
        channel.Write(&clear, 1);
        link_->Sleep(kAfterCommandMs);
        return true;
    }

    bool FirstStatusLite() {
        CSerialComm& channel = link_->Channel();
        link_->Sleep(kLiteFirstStatusMs);
        channel.Purge();
        if (!link_->LoadRoutine(kStatusRead)) return false;
        const uint8_t read = kStatusRead;
        channel.Write(&read, 1);
        uint8_t srd[2] = {};
        if (channel.Read(srd, 2) != 2) return false;
        if (!link_->LoadRoutine(kHandshake)) return false;
        link_->linkReady = 1;
        link_->Sleep(kAfterCommandMs);
        link_->ApplyIdCheckState(srd[1]);
        channel.Purge();
        return link_->LoadRoutine(kClearStatus) != 0;
    }

    // The ID check as the ID dialog's OK runs it at start-up: the status, the
    // ID check command, the status that tells.
    int Unlock() {
        CSerialComm& channel = link_->Channel();
        if (Lite()) link_->Sleep(kAfterCommandMs);
        if (!SendStatusRead(*link_, channel).answered) return LinkFailure("no status reply from the chip");
        if (!SendIdCheck(*link_, idFrame_)) return LinkFailure("the ID check was not acknowledged");
        const StatusReply status = SendStatusRead(*link_, channel);
        if (!status.answered) return LinkFailure("no status reply after the ID check");
        if ((status.srd1 & kIdStateMask) == kIdStateMask) {
            link_->idVerified = 1;
            return kExitOk;
        }
        channel.Purge();
        link_->idVerified = 0;
        return Refuse(kExitId, "the chip refused the ID; nothing was erased or written");
    }

    // The main panel's link probe before an operation.
    bool CheckLink() {
        const StatusReply status =
            SendStatusRead(*link_, link_->Channel(), {.purge = true, .afterHandshakeMs = kAfterHandshakeMs});
        if (status.answered && status.handshook) return true;
        user_.Fail(kExitLink, "no status reply from the chip");
        return false;
    }

    bool CheckBootLoader() {
        CSerialComm& channel = link_->Channel();
        CSerialCommState state;
        channel.GetState(state);
        const uint8_t code = CLink::BaudRateCode(state.m_nBaudRate);
        channel.Purge();
        channel.Write(&code, 1);
        uint8_t echo = 0;
        if (channel.Read(&echo, 1) == 1) return true;
        link_->RecoverLink();
        user_.Fail(kExitLink, "the boot loader does not answer");
        return false;
    }

    bool ProbeForMode() { return link_->programMode == kBootLoaderMode ? CheckBootLoader() : CheckLink(); }

    template <class Cmd>
    int Operation(bool probe = true) {
        if (probe && !CheckLink()) return 0;
        Cmd cmd(*link_);
        return cmd.Run();
    }

    // A step whose result says whether it worked: a 0 without a report of its
    // own still fails the command.
    void Require(int result, const char* what) {
        if (result == 0 && user_.Code() == kExitOk) user_.Fail(kExitDevice, std::string(what) + " did not complete");
    }

    int RunCommand(const Command& c) {
        user_.BeginCommand(&c);
        if (c.LoadsFile()) {
            const std::string refusal = LoadProgramFile(c, link_->Image());
            if (!refusal.empty()) return Refuse(kExitFile, refusal);
        }
        std::string done;
        Fields fields;
        switch (c.kind) {
            case Command::Kind::Info: {
                if (ProbeForMode()) {
                    CVersionCmd version(*link_);
                    version.Run();
                }
                if (user_.Code() == kExitOk && Operation<CStatesCmd>() && user_.Status()) {
                    const auto [srd, srd1] = *user_.Status();
                    fields = {{"version", user_.Version()}};
                    for (const auto& f : StatusFields(srd, srd1, Lite())) fields.push_back(f);
                    fields.emplace_back("ID state", link_->idVerified ? "verified" : "not verified");
                    done = "version " + user_.Version();
                    for (size_t i = 1; i < fields.size(); ++i) done += ", " + fields[i].first + ": " + fields[i].second;
                } else {
                    Require(0, "the status read");
                }
                break;
            }
            case Command::Kind::Unlock:
                done = options_.mode == Mode::BootLoader ? "the boot loader has no ID check" : "ID verified";
                break;
            case Command::Kind::Erase:
                Require(Operation<CEraseCmd>(), "the erase");
                done = user_.Confirmation();
                break;
            case Command::Kind::Write:
                if (c.erase && c.blankCheck) {
                    Require(Operation<CEraseCmd>(), "the erase");
                    if (user_.Code() == kExitOk) Require(Operation<CBPRCmd>(), "blank check, program and read check");
                } else if (c.erase) {
                    Require(Operation<CEPRCmd>(), "erase, program and read check");
                } else if (c.blankCheck) {
                    Require(Operation<CBPRCmd>(), "blank check, program and read check");
                } else {
                    Require(Operation<CProgramCmd>(), "programming");
                    if (c.verify && user_.Code() == kExitOk) Operation<CReadCmd>();
                }
                done = "programmed";
                if (c.erase || c.blankCheck || c.verify) done += " and checked";
                break;
            case Command::Kind::Verify:
                Operation<CReadCmd>();
                done = "no difference";
                break;
            case Command::Kind::BlankCheck:
                Operation<CBlankCmd>();
                done = "blank";
                break;
            case Command::Kind::Download:
                if (ProbeForMode()) Require(Operation<CDownloadCmd>(false), "the download");
                done = "downloaded";
                break;
            case Command::Kind::Read:
                if (CheckLink()) done = ReadToFile(*link_, c, user_);
                break;
        }
        const char* name = CommandName(c.kind);
        if (user_.StopSignal() != 0) return Stopped(name);
        if (user_.Code() != kExitOk) {
            printer_.Result(name, user_.Code(), user_.Text(), user_.ResultFields());
            return user_.Code();
        }
        if (const auto range = user_.LastRange()) {
            done += " " + RangeText(range->first, range->second);
            fields.emplace_back("range", RangeText(range->first, range->second));
        }
        if (!options_.quiet || options_.json) printer_.Result(name, kExitOk, done, fields);
        return kExitOk;
    }

    // Leaves the link at 9600 bps, as the dialog programs' Exit does, where
    // the chip still answers.
    void Finish() {
        if (!opened_ || silent_ || user_.LinkLost()) return;
        user_.BeginCommand(nullptr);
        link_->ResetTo9600();
        if (user_.Code() != kExitOk) printer_.Trace("kelvane-cli: warning: " + user_.Text());
    }

    const Options& options_;
    SessionServices& services_;
    CReportPrinter printer_;
    CRunProfile profile_;
    CCliUser user_;
    std::unique_ptr<CLink> link_;
    CIDCheckDlg::IdFrame idFrame_{};
    bool opened_ = false;
    bool silent_ = false;
};

}  // namespace

int RunSession(const Options& options, SessionServices services) {
    CSession session(options, services);
    return session.Run();
}

}  // namespace kv::cli
