#include "StationTile.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <cstdio>

#include "AppResources.h"
#include "HandsetOutcome.h"
#include "PictureCtrl.h"
#include "StationWindowTexts.h"

namespace morvak {
namespace {

// The progress bar's steps: a share with one decimal.
constexpr int kProgressSteps = 1000;

struct StateLook {
  const char* text;
  const char* background;  // light enough for black text
  int bitmap;              // 0: no picture
};

StateLook LookOf(PortState state) {
  switch (state) {
    case PortState::Waiting: return {texts::kTileWaiting, "#eceff1", 0};
    case PortState::Flashing: return {texts::kTileFlashing, "#e3f2fd", IDB_BUSY};
    case PortState::Passed: return {texts::kTilePassed, "#dcedc8", IDB_SUCCESS};
    case PortState::Failed: return {texts::kTileFailed, "#ffcdd2", IDB_FAILURE};
    case PortState::Stopped: return {texts::kTileStopped, "#fff9c4", 0};
    case PortState::Unusable: return {texts::kTileUnusable, "#ffe0b2", IDB_FAILURE};
    case PortState::Closed: return {texts::kTileClosed, "#cfd8dc", 0};
  }
  return {texts::kTileWaiting, "#eceff1", 0};
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

StationTile::StationTile(const std::string& port, QWidget* parent)
    : QFrame(parent),
      m_picture(new CPictureCtrl(this)),
      m_stateLabel(new QLabel(this)),
      m_asicId(new QLabel(this)),
      m_progress(new QProgressBar(this)),
      m_line(new QLabel(this)) {
  setObjectName(QStringLiteral("StationTile"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* portLabel = new QLabel(Text(port), this);
  QFont bold = portLabel->font();
  bold.setBold(true);
  portLabel->setFont(bold);
  m_picture->setFixedSize(40, 48);
  m_progress->setRange(0, kProgressSteps);
  m_progress->setValue(0);
  m_progress->setTextVisible(true);
  m_progress->setFormat(QString());
  // A long line is cut at the tile's edge, never widening the grid; the
  // tooltip holds it whole.
  m_line->setMinimumWidth(1);
  m_line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* layout = new QGridLayout(this);
  layout->addWidget(m_picture, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(portLabel, 0, 1);
  layout->addWidget(m_stateLabel, 1, 1);
  layout->addWidget(m_asicId, 2, 1);
  layout->addWidget(m_progress, 3, 0, 1, 2);
  layout->addWidget(m_line, 4, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  setMinimumWidth(300);
  SetState(PortState::Waiting, {});
}

void StationTile::SetState(PortState state, const std::string& detail) {
  const PortState before = m_state;
  m_state = state;
  const StateLook look = LookOf(state);
  m_stateLabel->setText(QString::fromLatin1(look.text));
  setStyleSheet(QStringLiteral("#StationTile { background: %1; }").arg(QString::fromLatin1(look.background)));
  m_picture->setPixmap(look.bitmap != 0 ? LoadBitmapResource(look.bitmap) : QPixmap());
  if (state == PortState::Flashing && before != PortState::Flashing) {
    // A new unit: nothing of the last one's transfer or ID stays.
    m_meter.Reset();
    m_progress->setValue(0);
    m_progress->setFormat(QString());
    m_asicId->clear();
  }
  if (state == PortState::Unusable) SetLine(detail);
}

void StationTile::SetLine(const std::string& line) {
  m_line->setText(Text(line));
  m_line->setToolTip(Text(line));
}

void StationTile::SetAsicId(const std::string& hex) {
  char text[64];
  std::snprintf(text, sizeof text, texts::kTileAsicIdFormat, ShortAsicId(hex).c_str());
  m_asicId->setText(QString::fromLatin1(text));
  m_asicId->setToolTip(Text(hex));
}

void StationTile::SetPayload(uint64_t sent, uint64_t total) {
  m_meter.Note(sent, total, TransferMeter::Clock::now());
  m_progress->setValue(total == 0 ? 0 : static_cast<int>(sent * kProgressSteps / total));
  m_progress->setFormat(Text(m_meter.Summary()));
  m_progress->setToolTip(Text(m_meter.Details()));
}

std::string StationTile::StateText() const { return m_stateLabel->text().toStdString(); }
std::string StationTile::LineText() const { return m_line->text().toStdString(); }
std::string StationTile::ProgressText() const { return m_progress->format().toStdString(); }
std::string StationTile::AsicIdText() const { return m_asicId->text().toStdString(); }

}  // namespace morvak
