#include "cli/usage.h"

#include "cli/exit_codes.h"

namespace kv::cli {

void PrintUsage(std::ostream& out) {
    out << R"(Usage: kelvane-cli --port PORT [options] COMMAND [ARGS] [COMMAND [ARGS]...]

Flashes a Vireo chip through its serial boot loader without questions: the
answers the dialog programs ask for come from the arguments. Several commands
run one after the other on one link; the first that fails ends the run.

Commands
  info                     boot-loader version, status register decoded bit by bit, ID state
  unlock                   the ID check alone (exit status says whether the ID passed)
  erase                    erase the flash
  write FILE               program the pages that hold data of the file, then read
                           every byte of them back (the pages between, without data,
                           are neither sent nor read; the line says how many pages)
      --base ADDRESS       FILE is raw binary that begins at ADDRESS (hex); required
                           for .bin, also after verify and download. Otherwise FILE
                           is told by its content: S-records or Intel HEX
      --erase              erase first (as "E. P. R...": erase, program, read check)
      --blank-check        blank check first (as "B. P. R...": blank check, program, read check)
      --no-verify          no read check after programming; plain write reads every
                           byte back by default (--verify, the default, says so again).
                           --erase and --blank-check always read every byte back
      --range START-END    limit it to START-END (hex, whole pages; not with --erase
                           outside lite mode, which programs the file's whole range)
      --blank-rest         then check that the pages of the range without data are blank
  verify FILE              read check of the file's pages with data, every byte of
                           them (or of those within --range START-END); --blank-rest
                           as for write
  blank-check              blank check of --range START-END (default: the file's range
                           when a file was named before, else 0C0000-0FFFFF)
  download FILE            boot program into the loader's RAM (as "Download...")
  read OUT                 save the flash to OUT; the file appears only when every
                           page was read
      --range START-END    the range to read [the flash of the MCU type: 0C0000-0FFFFF,
                           F00000-FFFFFF for --mcu h, 000000-00FFFF for --mcu wren]
      --format srec|ihex|bin
                           [from the name: .mot .s .s2 .s3 .srec, .hex .ihex, .bin]
      --all-pages          keep pages that read all FF in S-records and Intel HEX
  FILE - is standard input, OUT - standard output (with --format; the result
  lines then go to stderr)

Options
  --port PORT              COMn, a path, or a name under /dev (required); PORT=HEX
                           gives the board on it an ID of its own (as --id takes it);
                           rfc2217://HOST:PORT is a port on a serial device server
                           (ser2net), socket://HOST:PORT a raw TCP one (--baud 9600)
  --mode flash|bootloader|lite
                           internal flash with the ID check [flash], the Vireo/H boot
                           loader, or a Vireo/L chip through the sequencer
  --firm FILE              the sequencer firmware in lite mode [firm.mot beside the program]
  --baud RATE              the link rate after synchronisation: 9600, 19200, 38400,
                           57600 or 115200 [115200; 57600 in lite mode, its highest]
  --id HEX                 the 7-byte ID: 14 hex digits, separators (space : - , .) allowed
  --id-file FILE           an ".id" file [the program file's ".id" file when it exists]
  --mcu m|h|wren           where the ID lies: Vireo/M, Vireo/H, Wren [from the image and
                           the ID file, as the ID dialog finds it]
  --interval MS            pause after each page frame, 0 to 10000 [40]
  --retry N                a link lost (no reply, a reply cut short) brings the board
                           back with a new synchronisation and runs the command that
                           failed again from its start, up to N times in the run [0];
                           never retried: a refused ID, a difference, an erase or
                           program error. The result line, the table and the JSON
                           count the retries
  --before STEPS           once the port is open, before the wake-up: set the modem
                           lines that hang on the board's reset and boot-mode inputs,
                           e.g. dtr=0,rts=1,wait=100,dtr=1,wait=50 (steps in order,
                           comma-separated: dtr=0|1, rts=0|1 clear or assert a line,
                           wait=MS pauses, 0 to 10000); run again before a --retry
  --after keep|reset|STEPS at the end: keep leaves the lines and returns the link
                           to 9600 bps [keep]; reset starts the program (rts=0,dtr=0,
                           wait=100,dtr=1); STEPS as for --before. After reset or
                           STEPS the return to 9600 bps is skipped: the reset puts
                           the chip there anyway
  --before PORT=STEPS, --after PORT=keep|reset|STEPS
                           the sequence of one port of several (PORT as --port names it)
  --log FILE               append one JSON line per board and run to FILE: time,
                           port and its /dev/serial/by-id name, each image's SHA-256
                           and range, the loader's version, each result, exit status,
                           seconds, retries (see the README); written whole under a
                           lock, so that several runs can share one FILE
  --old-erase              erase block by block on old boot loaders (the "+a" switch), this run only
  --sync-b0                begin the synchronisation with 0xB0 (the "+Z" switch), this run only
  --json                   one JSON object per line on stdout: progress, results, and one
                           "exit" object last (all of it UTF-8; see the README)
  -q, --quiet              failures only: no progress, no result lines for commands that
                           succeeded, no table when every port succeeded
  -v, --verbose            a timestamped trace on stderr: every frame, the link's own lines
  Short options combine: -qv is -q -v.
  -h, --help               this text
  --version                the program's version

Progress goes to stderr: a bar with pages, bytes per second and time left on a
terminal, a line per tenth otherwise. Before it ends, the program returns the
link to 9600 bps where the chip still answers; a board left at a higher rate
by a run that was cut off is looked for there when it does not wake at 9600 bps.

Several boards at once
  Give --port several times, or a pattern (* ? [...], quoted so that the shell
  leaves it): every port runs the same commands at the same time on a link of
  its own, and a failure on one never stops the others. Every line names its
  port ("PORT: ..." or a "port" member in JSON); on a terminal each port has a
  live status line instead of progress. At the end a table gives each port's
  result, first error and time. read takes one port.

Exit status
  0  every command succeeded
  2  a command-line error (nothing was sent)
  3  a file refused: program file, ID file or firmware (nothing was sent),
     or the file read cannot be written
  4  the port cannot be opened
  5  no answer from the chip, or the link was lost
  6  the ID was refused (nothing was erased or written)
  7  an erase, program or download error
  8  a check found a difference or a byte that is not blank
  128+N  stopped by signal N (SIGTERM, SIGINT, SIGHUP) after the exchange in hand,
         with the link taken back to 9600 bps (a read then leaves no file; every
         port stops when there are several); the stop is told on stderr at once.
         A closed output (SIGPIPE, e.g. "| head -1") stops the same way: 141.
         A second SIGTERM, SIGINT or SIGHUP ends the program at once, without
         that clean-up: the board may stay at the link rate, where the next
         run looks for it
With several ports: 0 when every port succeeded, 128+N after a stop signal,
else the failure that comes first in this order among the ports':)";
    for (size_t i = 0; i < kExitPriority.size(); ++i) out << (i ? ", " : " ") << kExitPriority[i];
    out << "\n";
}

}  // namespace kv::cli
