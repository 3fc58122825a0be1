#include "AppOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include "FaultPlan.h"
#include "PortPlan.h"
#include "Version.h"
#include "VirtualHandsets.h"

namespace morvak {
namespace {

constexpr char kVirtualHandsetFlag[] = "--virtual-handset";
constexpr char kFaultsPrefix[] = "--virtual-handset=";
constexpr char kStationFlag[] = "--station";

QCommandLineOption Added(QCommandLineParser& parser, const QCommandLineOption& option) {
  parser.addOption(option);
  return option;
}

// The options in the order the help lists them.
struct AppCommandLine {
  QCommandLineParser parser;
  QCommandLineOption help =
      Added(parser, QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                       QStringLiteral("Displays this help, the virtual handset's faults included.")));
  QCommandLineOption version = parser.addVersionOption();
  QCommandLineOption station = Added(
      parser, QCommandLineOption(QStringLiteral("station"),
                                 QStringLiteral("Opens the station window: every handset plugged into a watched port "
                                                "is flashed, one after another, each port shown as a tile. With "
                                                "--virtual-handset=count=N,cycle=MS a virtual bench stands for the "
                                                "ports.")));
  QCommandLineOption virtualHandset = Added(
      parser, QCommandLineOption(QStringLiteral("virtual-handset"),
                                 QStringLiteral("Flashes into the built-in virtual handset instead of USB, to try the "
                                                "window without hardware. --virtual-handset=FAULTS gives it the faults "
                                                "listed below.")));

  AppCommandLine() {
    // Single-dash words are whole option names, as in the toolkit's own
    // options: read as bundles of letters, -reverse would hold -v and
    // -stylesheet -h, and answer with the version or this text.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("The Morvak window: flashes firmware images into handsets whose chip boots\n"
                       "from USB. Real handsets are found by [LURRA_USB] VendorId and ProductId in\n"
                       "file/LURRA.ini beside the program. The toolkit's own options, such as\n"
                       "-platform, are taken too."));
    parser.addPositionalArgument(QStringLiteral("IMAGE"),
                                 QStringLiteral("The image to choose, taken as a file dropped on the window is."),
                                 QStringLiteral("[IMAGE]"));
  }
};

}  // namespace

std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args, std::string& error,
                                          bool othersAllowed) {
  AppOptions o;
  QStringList arguments{QStringLiteral("morvak")};
  bool optionsEnded = false;
  bool station = false;
  for (const std::string& a : args) {
    // The parser has no option whose value may be left out: a declared value
    // would take the IMAGE after a bare --virtual-handset as its FAULTS. The
    // option is a plain flag, and its "=FAULTS" form is taken off here.
    if (!optionsEnded && a.rfind(kFaultsPrefix, 0) == 0) {
      o.faults = a.substr(sizeof kFaultsPrefix - 1);
      arguments << QString::fromLatin1(kVirtualHandsetFlag);
      continue;
    }
    if (a == "--") optionsEnded = true;
    if (!optionsEnded && a == kStationFlag) station = true;
    arguments << QString::fromStdString(a);
  }
  // The station's virtual handsets are a bench of ports (count=, cycle=); the
  // main window has one handset.
  if (station) {
    VirtualHandsetSet bench;
    if (!ParseVirtualHandsets(o.faults, bench, error)) return std::nullopt;
  } else {
    PortPlan plan;
    if (!ParsePortPlan(o.faults, plan, error)) return std::nullopt;
  }

  AppCommandLine line;
  const bool parsed = line.parser.parse(arguments);
  o.help = line.parser.isSet(line.help);
  o.version = line.parser.isSet(line.version);
  o.station = line.parser.isSet(line.station);
  o.virtualHandset = line.parser.isSet(line.virtualHandset);
  if (othersAllowed) return o;
  if (!parsed) {
    error = line.parser.errorText().toStdString();
    return std::nullopt;
  }
  const QStringList images = line.parser.positionalArguments();
  if (images.size() > 1) {
    error = "more than one image: " + images.join(QLatin1Char(' ')).toStdString();
    return std::nullopt;
  }
  if (!images.isEmpty()) {
    if (images.front().isEmpty()) {
      error = "the image's name is empty";
      return std::nullopt;
    }
    o.image = images.front().toStdString();
  }
  return o;
}

std::string AppUsageText() {
  // The parser names the program after the running application, which does
  // not exist yet when help is answered: the usage line is our own.
  const QString text = AppCommandLine().parser.helpText();
  const QString afterUsage = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
  return "Usage: morvak [--station] [--virtual-handset[=FAULTS]] [IMAGE]\n" + afterUsage.toStdString() + "\n" + FaultPlanHelp() + "\n" + VirtualHandsetsHelp();
}

std::string AppVersionText() { return std::string("morvak ") + kVersion + "\n"; }

}  // namespace morvak
