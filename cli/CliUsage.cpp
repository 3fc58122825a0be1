#include "CliUsage.h"

#include <algorithm>
#include <string_view>

#include "FaultPlan.h"
#include "Version.h"
#include "VirtualHandsets.h"

namespace morvak::cli {
namespace {

// Each command's synopsis and options, as the whole usage lists them.
struct CommandHelp {
  std::string_view name;
  std::string_view text;
  bool faults;  // the command takes --virtual-handset=FAULTS
};

constexpr CommandHelp kCommands[] = {
    {"flash",
     "  flash [OPTIONS] IMAGE    flash an .img or .raw image\n"
     "      --onenand            the handset has OneNAND flash (default: NAND)\n"
     "      --erase-reserved     erase the reserved region too\n"
     "      --port PATH          flash only the handset on USB port PATH (as udev names\n"
     "                           it, e.g. 1-2.3; see morvak-cli list); give --port\n"
     "                           several times to flash several handsets at once\n"
     "      --all-ports          flash every matching handset present at the start,\n"
     "                           all at once\n"
     "      --virtual-handset[=FAULTS]\n"
     "                           flash into the built-in virtual handset instead of USB;\n"
     "                           count=N in FAULTS stands for N handsets at once\n"
     "      --record-blocks FILE write one line per block the virtual handset received:\n"
     "                           kind, address, length, CRC-16 of the payload (with\n"
     "                           several handsets, one file each: FILE.virtual-K)\n"
     "      --record FILE        append one JSON line per handset and run to FILE: time,\n"
     "                           port, ASIC ID, image and its SHA-256, flash type and\n"
     "                           options, result, last line, elapsed seconds (in place\n"
     "                           of RecordFile= of the configuration)\n"
     "      --json               print JSON lines instead of text: every status line,\n"
     "                           progress range and position, message box, result and\n"
     "                           a summary, each with its time (UTC) and port\n"
     "      --reply-timeout SECONDS\n"
     "                           fail a read that gets no byte from the handset for\n"
     "                           SECONDS (in place of ReplyTimeout= of the configuration,\n"
     "                           default 60; 0 waits without limit)\n"
     "      --wait-timeout SECONDS\n"
     "                           end the run, as a Stop would, when no handset has\n"
     "                           appeared within SECONDS (default: wait without limit);\n"
     "                           with --watch, end the session after SECONDS without\n"
     "                           any handset\n"
     "      --watch              a station: flash every handset that appears on the\n"
     "                           ports (--port, --all-ports or Port=; default every\n"
     "                           port), each in a run of its own, in parallel; a\n"
     "                           handset is flashed once until it is unplugged. Each\n"
     "                           run ends with a result line (its ASIC ID) and a tally\n"
     "                           (passed, failed, units per hour); Ctrl-C starts no\n"
     "                           new run, lets the runs end and shows the summary\n"
     "      --units N            end --watch once N runs have ended\n"
     "      --reflash            with --watch: flash a unit again that already passed in\n"
     "                           this session (known by its ASIC ID)\n",
     true},
    {"list",
     "  list [--all]             show the USB devices with the configured ids: port path,\n"
     "                           ids, speed and whether Morvak can open them; --all shows\n"
     "                           every device. Exit status 0 when a usable handset is\n"
     "                           present, 1 otherwise\n",
     false},
    {"records",
     "  records FILE [OPTIONS]   list the runs of a record file (--record, RecordFile=):\n"
     "                           time (UTC), port, ASIC ID (its first and last four\n"
     "                           bytes), result, image, the start of its SHA-256 and\n"
     "                           why a run that did not pass ended; then per port and\n"
     "                           for all the runs, passed, failed, stopped, pass rate\n"
     "                           and units per hour (runs over the time from the first\n"
     "                           one's start to the last one's end). Lines that are\n"
     "                           not records are counted on standard error and left out\n"
     "      --since TIME         only runs started at TIME or later: 2026-12-10T08:00:00\n"
     "                           is local time (TZ), ...Z UTC, ...+01:00 that offset;\n"
     "                           2026-12-10 is local midnight\n"
     "      --failed             list only the failed runs (the totals count them all)\n"
     "      --csv                print CSV: a row per run, an empty line, the totals\n",
     false},
    {"udev-rule",
     "  udev-rule [OPTIONS]      print the udev rule that lets the logged-in user open\n"
     "                           the handset (the configured ids, or those given)\n"
     "      --vendor ID --product ID\n"
     "                           the handset's USB ids, in place of the configured ones\n"
     "      --group GROUP        also give the device to GROUP (MODE=\"0660\"), for\n"
     "                           service and kiosk accounts that have no seat\n"
     "      --output FILE        write the rule to FILE instead of printing it\n"
     "      --install            write it to /etc/udev/rules.d/70-morvak.rules and\n"
     "                           reload udev (as root)\n",
     false},
    {"inspect",
     "  inspect [--onenand] IMAGE\n"
     "                           show what Start's checks find in an image, or the\n"
     "                           line Start would show\n",
     false},
    {"inspect-coff",
     "  inspect-coff FILE [--flat OUT]\n"
     "                           show what a COFF executable holds (byte order,\n"
     "                           headers, sections, symbols) and its flat image;\n"
     "                           --flat writes that image to OUT\n",
     false},
};

constexpr std::string_view kIntroduction =
    "usage: morvak-cli COMMAND [OPTIONS]\n"
    "       morvak-cli COMMAND --help\n"
    "       morvak-cli --version\n"
    "\n"
    "Flashes firmware images into handsets whose chip boots from USB, as the\n"
    "Morvak window does, with the same status lines printed oldest first.\n"
    "\n"
    "commands:\n";

constexpr std::string_view kEnd =
    "  help, --help             this text (COMMAND --help: that command's part)\n"
    "  --version                the program's version\n"
    "\n"
    "With several handsets every run has its own link and worker; each line is\n"
    "prefixed with its handset's port, and a summary table ends the output.\n"
    "Ctrl-C acts as \"Stop flashing\" (the run ends at its next write); a second\n"
    "Ctrl-C also ends every read that waits for a handset's answer, so that every\n"
    "run ends with its lines, its record and the summary; a third quits at once\n"
    "when it comes 2 s or more after the second. SIGTERM, SIGHUP and SIGQUIT act\n"
    "as the second Ctrl-C; so does an output that can no longer be written\n"
    "(a reader that went away), and nothing more is written to it.\n"
    "The configuration is file/LURRA.ini beside the program; real handsets are\n"
    "found by [LURRA_USB] VendorId and ProductId, hexadecimal USB ids such as\n"
    "0x1234 (and Port, for one port only).\n"
    "\n";

constexpr std::string_view kExitStatus =
    "exit status: 0 the run succeeded (every run, with several handsets; with\n"
    "--watch, no run failed), 1 it failed, 2 bad usage, 74 a run record could not\n"
    "be written (no further run starts then), 78 the configuration is refused or\n"
    "names no handset; ended by a signal, once every run has ended and\n"
    "been recorded: 130 Ctrl-C, 143 SIGTERM, 129 SIGHUP, 131 SIGQUIT, 141 the\n"
    "output could no longer be written.\n";

constexpr std::string_view kRecordsExitStatus =
    "exit status of records: 0 the file was read, 1 it cannot be read, 2 bad usage.\n";

std::string Faults() { return "\n" + FaultPlanHelp() + "\n" + VirtualHandsetsHelp(); }

}  // namespace

std::string UsageText() {
  std::string text(kIntroduction);
  for (const CommandHelp& command : kCommands) text += command.text;
  text += kEnd;
  text += kExitStatus;
  text += kRecordsExitStatus;
  return text + Faults();
}

std::optional<std::string> CommandUsageText(const std::string& name) {
  for (const CommandHelp& command : kCommands) {
    if (command.name != name) continue;
    std::string text = "usage: morvak-cli ";
    // The synopsis is the section's first line, after its two-space indent.
    const std::string_view synopsis =
        command.text.substr(2, std::min(command.text.find("  ", 2), command.text.find('\n')) - 2);
    text += synopsis;
    text += "\n\n";
    text += command.text;
    if (name == "flash") text += "\n" + std::string(kExitStatus);
    if (name == "records") text += "\n" + std::string(kRecordsExitStatus);
    if (command.faults) text += Faults();
    return text;
  }
  return std::nullopt;
}

std::string VersionText() { return std::string("morvak-cli ") + kVersion + "\n"; }

}  // namespace morvak::cli
