#pragma once
// One port of the station window: its path, its state, the unit's ASIC ID,
// the transfer (share, rate, time left) and the run's last line, on a
// background and with a picture by state.
#include <QFrame>
#include <cstdint>
#include <string>

#include "StationReport.h"
#include "TransferMeter.h"

class QLabel;
class QProgressBar;

namespace morvak {

class CPictureCtrl;

class StationTile : public QFrame {
 public:
  StationTile(const std::string& port, QWidget* parent);

  void SetState(PortState state, const std::string& detail);
  void SetLine(const std::string& line);
  void SetAsicId(const std::string& hex);
  void SetPayload(uint64_t sent, uint64_t total);

  PortState State() const { return m_state; }
  std::string StateText() const;
  std::string LineText() const;
  std::string ProgressText() const;
  std::string AsicIdText() const;

 private:
  PortState m_state = PortState::Waiting;
  TransferMeter m_meter;
  CPictureCtrl* m_picture;
  QLabel* m_stateLabel;
  QLabel* m_asicId;
  QProgressBar* m_progress;
  QLabel* m_line;
};

}  // namespace morvak
