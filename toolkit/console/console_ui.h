#pragma once
// The text front end on standard input and output. Scripts and end-to-end
// tests drive it, so its output and input format is fixed:
//
// Message box:
//     <caption> (<icon>): <first line of text>
//       <each further line, indented by two spaces>
//   icon: stop, exclamation, information or none; "\r\n", "\n" and "\r" end
//   lines (a break at the very end of the text adds no empty line). An OK box
//   reads nothing. An OK/Cancel box then prints "[OK/Cancel]? " and reads a
//   line: "ok" or "cancel" in any case; an empty line is OK; end of input is
//   Cancel; anything else prints "error: answer ok or cancel" and asks again.
//
// Modal dialog:
//     == <caption> ==
//     one line per visible control, in template order (see ControlLine)
//     "  [menu <id>] <text>" per system-menu entry ('&' marks dropped)
//   then "> " before each line it reads:
//     <id>=<text>   sets the text of an edit field or combo box
//     <id>          presses a button or selects a radio button
//     menu <id>     chooses a system-menu entry
//     ok, cancel    press buttons 1 and 2 (any case); a dialog without such
//                   a button still gets the command, as Enter and Escape do
//     show          prints the dialog again
//   An empty line is ignored. An unknown, hidden, disabled or read-only
//   control, or a line not understood, prints one "error: ..." line and the
//   dialog reads again. A line longer than 65536 bytes is skipped with
//   "error: input line longer than 65536 bytes skipped" wherever a line is read. End of input presses Cancel; a dialog
//   that still has not ended is ended with Cancel. After a prompt that met end of input a newline is printed, so the
//   output ends with whole lines.
//
// File-open: "Open file [<filter>]: " and a path; an empty line or end of
// input cancels; a path that is not an existing regular file prints
// "<path>", "File not found.", "Please verify the correct file name was
// given." on three lines and asks again.
//
// Progress window (a modeless window with a progress bar): "<title>:
// <message>" once, when its bar is first set (message lines joined by one
// space), then on a terminal a bar redrawn in place with '\r'
// ("  [####      ]  40%"), ended by a newline when the window goes or
// anything else is printed; otherwise a line "  <n>%" whenever the position
// reaches a further tenth of the range (0%, 10%, ... 100%). While it is open,
// PumpPending takes the next input line only when it has already arrived
// complete and is "cancel" (any case), and then presses Cancel on it.
// Other modeless windows print "== <caption> ==" once.
//
// A stop signal (SIGTERM, SIGINT, SIGHUP) prints "stopped: <SIGTERM|SIGINT|
// SIGHUP> received" once, when it is noticed: at the next prompt, while a
// prompt waits, or between two pages of a running operation. The operation
// then ends as after Cancel, every open dialog ends with Cancel, nothing more
// is read or shown, and the program exits with 128 + the signal's number.
//
// Trace text is written only once ShowTraces(true) asked for it, each line
// behind the seconds since the start ("     0.012 Z_Type = +Z "). The wait
// cursor shows nothing.
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/console/string_line_source.h"
#include "toolkit/dialog.h"
#include "toolkit/ui_base.h"

namespace tk {

class ConsoleUi : public UiBase {
public:
    // `terminal`: the output is a terminal (progress is redrawn in place).
    ConsoleUi(LineSource& in, std::ostream& out, bool terminal = false);
    ConsoleUi(std::unique_ptr<LineSource> in, std::ostream& out, bool terminal = false);
    ~ConsoleUi() override;
    ConsoleUi(const ConsoleUi&) = delete;
    ConsoleUi& operator=(const ConsoleUi&) = delete;

    // The program's console: standard input through its own line reader,
    // std::cout, and whether standard output is a terminal.
    static std::unique_ptr<ConsoleUi> ForStdio();

    // One listing line of a control, without the line end:
    //   "  [<id>] <kind>[ <label>][: <value>][ (disabled)][ (read-only)]"
    // kinds and values: button <text>; edit <label>: <text>; combo <label>:
    // <text> (list: <a>, <b>); radio <text>: on|off; group <title>; static
    // <text>; progress: <pos> (<low>..<high>); separator; icon. Controls
    // without an id show [-1]. Line breaks inside texts become one space.
    static std::string ControlLine(const Dialog& dlg, const Control& c);
    // "== <caption> ==" and a line per visible control.
    static std::string Listing(const Dialog& dlg);

    // Ui
    int RunModal(Dialog& dlg) override;
    int MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) override;
    std::optional<std::string> OpenFile(const std::string& filter) override;
    void ShowModeless(Dialog& dlg) override;
    void DestroyModeless(Dialog& dlg) override;
    bool PumpPending() override;
    void Trace(const std::string& text) override;

protected:
    void Stopping(int signal) override;

private:
    class ProgressView;

    // Reads a line after a prompt; at end of input ends the prompt's line.
    bool Read(std::string& line);
    // Output that is not the bar first ends a bar line drawn in place.
    std::ostream& Out();
    void Handle(Dialog& dlg, const std::string& line);
    void Press(Dialog& dlg, int id, bool keyboard);
    void SetText(Dialog& dlg, int id, const std::string& text);
    bool Reachable(const Dialog& dlg, int id);

    std::unique_ptr<LineSource> owned_;
    LineSource& in_;
    std::ostream& out_;
    bool terminal_;
    bool barLineOpen_ = false;
    std::map<Dialog*, std::unique_ptr<ProgressView>> views_;
};

}  // namespace tk
