#include "StationWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "BrowseFilter.h"
#include "DroppedFile.h"
#include "FlashToolDlgTemplate.h"
#include "ImagePathSetting.h"
#include "ModuleDirectory.h"
#include "OpenFileDialog.h"
#include "RecordOfRun.h"
#include "RunConfig.h"
#include "PortChoice.h"
#include "StationTile.h"
#include "StationWindowTexts.h"

namespace morvak {
namespace {

// Tiles per row of the grid: four ports make a square.
constexpr int kTileColumns = 2;
// The tally shows units per hour once its runs span this long.
constexpr auto kRateSpan = std::chrono::seconds(10);

QString Text(const std::string& s) { return QString::fromStdString(s); }
QString Latin(const char* s) { return QString::fromLatin1(s); }

// The station's reports, taken on its thread and handed to the window's.
// Nothing here waits for the window: a run's message box is shown as its
// tile's line (a bench has no one to answer a box per unit), so the station
// never blocks on the window, and the window may join the station's thread
// at any time.
class WindowOutput : public IRunReport, public IStationReport {
 public:
  explicit WindowOutput(StationWindow& window) : m_window(window) {}

  void Line(const UnitRef& unit, const RunEvent& event) override { PortLine(unit.port, event); }
  void Box(const UnitRef& unit, const RunEvent& event) override { PortLine(unit.port, event); }
  void Result(const UnitRef&, const HandsetOutcome& outcome) override {
    Post([outcome](StationWindow& w) { w.OnResult(outcome); });
  }
  void Payload(const UnitRef& unit, uint64_t sent, uint64_t total) override {
    Post([port = unit.port.name, sent, total](StationWindow& w) { w.OnPayload(port, sent, total); });
  }
  void PortLine(const PortRef& port, const RunEvent& event) override {
    Post([port = port.name, text = event.text](StationWindow& w) { w.OnLine(port, text); });
  }
  void PortChanged(const PortRef& port, PortState state, const std::string& detail) override {
    Post([port = port.name, state, detail](StationWindow& w) { w.OnPortChanged(port, state, detail); });
  }
  void Problem(const std::string& text) override {
    Post([text](StationWindow& w) { w.OnProblem(text); });
  }
  void Tally(const RecordTotals& tally) override {
    Post([tally](StationWindow& w) { w.OnTally(tally); });
  }

  template <typename F>
  void Post(F f) {
    StationWindow* window = &m_window;
    QMetaObject::invokeMethod(window, [window, f = std::move(f)] { f(*window); }, Qt::QueuedConnection);
  }

 private:
  StationWindow& m_window;
};

}  // namespace

StationWindow::StationWindow(StationWindowOptions options, QWidget* parent)
    : QWidget(parent),
      m_options(std::move(options)),
      m_path(new QLineEdit(this)),
      m_browse(new QPushButton(Latin(texts::kStationBrowse), this)),
      m_nand(new QRadioButton(Latin(texts::kStationNand), this)),
      m_oneNand(new QRadioButton(Latin(texts::kStationOneNand), this)),
      m_eraseReserved(new QCheckBox(Latin(texts::kStationEraseReserved), this)),
      m_start(new QPushButton(Latin(texts::kStartStation), this)),
      m_stop(new QPushButton(Latin(texts::kStopStation), this)),
      m_tileArea(new QWidget),
      m_grid(new QGridLayout(m_tileArea)),
      m_status(new QLabel(this)),
      m_tally(new QLabel(this)) {
  setWindowTitle(Latin(texts::kStationCaption) + (m_options.virtualHandsets ? Latin(kVirtualHandsetCaption) : QString()));
  setAcceptDrops(true);
  m_path->setReadOnly(true);
  m_nand->setChecked(true);
  m_stop->setEnabled(false);
  m_status->setWordWrap(true);

  auto* image = new QHBoxLayout;
  image->addWidget(new QLabel(Latin(texts::kStationImageLabel), this));
  image->addWidget(m_path, 1);
  image->addWidget(m_browse);
  auto* choices = new QHBoxLayout;
  choices->addWidget(m_nand);
  choices->addWidget(m_oneNand);
  choices->addSpacing(16);
  choices->addWidget(m_eraseReserved);
  choices->addStretch(1);
  choices->addWidget(m_start);
  choices->addWidget(m_stop);
  m_grid->setAlignment(Qt::AlignTop);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(m_tileArea);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(image);
  layout->addLayout(choices);
  layout->addWidget(scroll, 1);
  layout->addWidget(m_status);
  layout->addWidget(m_tally);
  resize(680, 430);

  QObject::connect(m_browse, &QPushButton::clicked, this, [this] { Browse(); });
  QObject::connect(m_start, &QPushButton::clicked, this, [this] { StartStation(); });
  QObject::connect(m_stop, &QPushButton::clicked, this, [this] { StopStation(); });

  if (const std::string remembered = ReadImagePathSetting(kStationImagePathKey); !remembered.empty())
    ShowImagePath(remembered);
  SetStatus(texts::kStationIdle);
  OnTally(RecordTotals{});
  m_start->setFocus();
}

StationWindow::~StationWindow() { EndStation(); }

std::string StationWindow::StatusText() const { return m_status->text().toStdString(); }
std::string StationWindow::TallyText() const { return m_tally->text().toStdString(); }

StationTile* StationWindow::Tile(const std::string& port) const {
  const auto it = m_tileOf.find(port);
  return it == m_tileOf.end() ? nullptr : it->second;
}

void StationWindow::SetStatus(const std::string& text) { m_status->setText(Text(text)); }

void StationWindow::ShowImagePath(const std::string& path) {
  m_imagePath = path;
  m_path->setText(Text(path));
  m_path->setToolTip(Text(path));
  // The end of a long path, where the file's name is.
  m_path->setCursorPosition(static_cast<int>(m_path->text().size()));
}

void StationWindow::TakeDrop(const std::vector<std::string>& names) {
  const DropChoice choice = ChooseDroppedFile(names);
  if (!choice.taken) {
    if (!choice.line.empty()) SetStatus(choice.line);
    return;
  }
  ShowImagePath(choice.path);
  WriteImagePathSetting(choice.path, kStationImagePathKey);
}

void StationWindow::ChooseImage(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  TakeDrop({error ? path : full.string()});
}

void StationWindow::Browse() {
  if (const auto path = ChooseFileToOpen(this, BrowseFilter(ReadDownloadRaw(m_options.moduleDirectory))))
    ChooseImage(*path);
}

void StationWindow::SetControlsForRun(bool running) {
  for (QWidget* w : std::initializer_list<QWidget*>{m_browse, m_nand, m_oneNand, m_eraseReserved, m_start})
    w->setEnabled(!running);
  m_stop->setEnabled(running);
  m_stop->setText(Latin(texts::kStopStation));
  setAcceptDrops(!running);
  // Never a stray key on a button that was just disabled.
  (running ? m_stop : m_start)->setFocus();
}

void StationWindow::ClearTiles() {
  for (StationTile* tile : m_tiles) delete tile;
  m_tiles.clear();
  m_tileOf.clear();
}

StationTile* StationWindow::TileFor(const std::string& port) {
  if (StationTile* tile = Tile(port)) return tile;
  auto* tile = new StationTile(port, m_tileArea);
  const int index = static_cast<int>(m_tiles.size());
  m_grid->addWidget(tile, index / kTileColumns, index % kTileColumns);
  m_tiles.push_back(tile);
  m_tileOf[port] = tile;
  return tile;
}

void StationWindow::StartStation() {
  if (StationRunning()) return;
  if (m_imagePath.empty()) {
    SetStatus(texts::kStationNoImage);
    return;
  }
  StationSetup setup;
  PortRequest ports;
  ports.virtualHandsets = m_options.virtualHandsets;
  ports.faults = m_options.faults;
  ports.configPath = ModuleRelativePath(m_options.moduleDirectory, kConfigFileName);
  ports.watch = true;
  std::string error;
  if (ChoosePorts(ports, setup.ports, error) != PortChoiceResult::kChosen) {
    SetStatus(error);
    return;
  }
  setup.run.moduleDirectory = m_options.moduleDirectory;
  setup.run.imagePath = m_imagePath;
  setup.run.flashType = m_oneNand->isChecked() ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  setup.run.eraseReserved = m_eraseReserved->isChecked();
  setup.rearm = true;
  setup.recordPath = ConfiguredRecordFile(m_options.moduleDirectory);
  setup.stopRequests = [this] { return m_stopRequests.load(); };
  WriteImagePathSetting(m_imagePath, kStationImagePathKey);
  ClearTiles();
  OnTally(RecordTotals{});
  SetStatus(setup.ports.newPorts ? texts::kStationWaitingForPorts : texts::kStationArmed);
  SetControlsForRun(true);
  m_stopRequests.store(0);
  m_thread = std::thread([this, setup = std::move(setup)]() mutable {
    WindowOutput output(*this);
    StationEnd end = RunStationSession(std::move(setup), output, output);
    // The ports' channels end here, on the station's thread.
    end.channels.clear();
    output.Post([end = std::move(end)](StationWindow& w) { w.OnStationEnded(end); });
  });
}

void StationWindow::StopStation() {
  if (!StationRunning()) return;
  if (m_stopRequests.load() == 0) {
    m_stopRequests.store(1);
    SetStatus(texts::kStationStopping);
    m_stop->setText(Latin(texts::kStopRunsNow));
    // Ending the runs leaves handsets half-flashed: only a deliberate click
    // does it, never a second key press on the button that kept the focus.
    m_stop->clearFocus();
  } else {
    m_stopRequests.store(2);
    SetStatus(texts::kStationEndingRuns);
    m_stop->setEnabled(false);
  }
}

void StationWindow::EndStationAndClose() {
  EndStation();
  close();
}

void StationWindow::EndStation() {
  if (!m_thread.joinable()) return;
  m_stopRequests.store(2);
  m_thread.join();
}

void StationWindow::OnPortChanged(const std::string& port, PortState state, const std::string& detail) {
  TileFor(port)->SetState(state, detail);
}

void StationWindow::OnLine(const std::string& port, const std::string& text) {
  if (port.empty()) {
    SetStatus(text);
    return;
  }
  TileFor(port)->SetLine(text);
}

void StationWindow::OnPayload(const std::string& port, uint64_t sent, uint64_t total) {
  TileFor(port)->SetPayload(sent, total);
}

void StationWindow::OnResult(const HandsetOutcome& outcome) {
  StationTile* tile = TileFor(outcome.port);
  if (!outcome.asicIdHex.empty()) tile->SetAsicId(outcome.asicIdHex);
  if (!outcome.lastLine.empty()) tile->SetLine(outcome.lastLine);
}

void StationWindow::OnTally(const RecordTotals& tally) {
  char text[160];
  int length = std::snprintf(text, sizeof text, texts::kTallyFormat, tally.passed, tally.failed, tally.stopped);
  // A rate over a few seconds says little about a shift: it waits for a span.
  const bool spanEnough = tally.lastEnd - tally.first >= kRateSpan;
  if (const std::optional<double> rate = tally.UnitsPerHour(); rate && spanEnough && length > 0)
    std::snprintf(text + length, sizeof text - static_cast<size_t>(length), texts::kTallyRateFormat, *rate);
  m_tally->setText(Latin(text));
}

void StationWindow::OnProblem(const std::string& text) { SetStatus(text); }

void StationWindow::OnStationEnded(const StationEnd& end) {
  if (m_thread.joinable()) m_thread.join();
  SetControlsForRun(false);
  if (end.refused) return;  // the problem said why
  size_t count[3] = {};
  for (const HandsetOutcome& o : end.outcomes) ++count[static_cast<size_t>(o.outcome)];
  char text[160];
  std::snprintf(text, sizeof text, texts::kStationStoppedFormat, count[static_cast<size_t>(RunOutcome::Succeeded)],
                count[static_cast<size_t>(RunOutcome::Failed)], count[static_cast<size_t>(RunOutcome::Stopped)]);
  SetStatus(text);
}

void StationWindow::closeEvent(QCloseEvent* event) {
  bool flashing = false;
  for (const StationTile* tile : m_tiles) flashing = flashing || tile->State() == PortState::Flashing;
  if (StationRunning() && flashing) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), Latin(texts::kStopStationAndClose),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) {
      event->ignore();
      return;
    }
  }
  EndStation();
  event->accept();
}

void StationWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!StationRunning() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void StationWindow::dropEvent(QDropEvent* event) {
  if (StationRunning()) return;
  std::vector<std::string> names;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  TakeDrop(names);
  event->acceptProposedAction();
}

}  // namespace morvak
