#pragma once
// The station window (morvak --station): a tile per watched port in a grid
// and the tally, for a bench where every handset plugged in is flashed. The
// station runs on a thread of its own (RunStationSession, as the console's
// flash --watch); this window only chooses what it runs and shows what it
// reports. The image is remembered apart from the main window's.
#include <QWidget>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Station.h"

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace morvak {

class StationTile;

// "Station/ImageFilePath" of the user's profile: the station's image.
inline constexpr const char* kStationImagePathKey = "Station/ImageFilePath";

struct StationWindowOptions {
  bool virtualHandsets = false;
  std::string faults;           // the virtual bench's fault text
  std::string moduleDirectory;  // where file/ is
};

class StationWindow : public QWidget {
 public:
  explicit StationWindow(StationWindowOptions options, QWidget* parent = nullptr);
  ~StationWindow() override;

  // As a dropped file is taken; a relative name is made absolute first.
  void ChooseImage(const std::string& path);
  void StartStation();
  // The first press stops arming and lets the runs end; the second ends them.
  void StopStation();
  // Ends the station as the second press does, waits until every run has
  // ended and been recorded, and closes without asking.
  void EndStationAndClose();

  bool StationRunning() const { return m_thread.joinable(); }
  std::string ImagePath() const { return m_imagePath; }
  std::string StatusText() const;
  std::string TallyText() const;
  // The tiles in the order their ports appeared.
  const std::vector<StationTile*>& Tiles() const { return m_tiles; }
  StationTile* Tile(const std::string& port) const;
  QPushButton* StartButton() const { return m_start; }
  QPushButton* StopButton() const { return m_stop; }

  // What the station thread reports, on the window's thread.
  void OnPortChanged(const std::string& port, PortState state, const std::string& detail);
  void OnLine(const std::string& port, const std::string& text);
  void OnPayload(const std::string& port, uint64_t sent, uint64_t total);
  void OnResult(const HandsetOutcome& outcome);
  void OnTally(const RecordTotals& tally);
  void OnProblem(const std::string& text);
  void OnStationEnded(const StationEnd& end);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Browse();
  void ShowImagePath(const std::string& path);
  // A drop's names, as the main window takes them: the last that fits, or a line why not.
  void TakeDrop(const std::vector<std::string>& names);
  void SetStatus(const std::string& text);
  void SetControlsForRun(bool running);
  void ClearTiles();
  // Ends the station's runs and joins its thread.
  void EndStation();
  StationTile* TileFor(const std::string& port);

  StationWindowOptions m_options;
  std::string m_imagePath;
  QLineEdit* m_path;
  QPushButton* m_browse;
  QRadioButton* m_nand;
  QRadioButton* m_oneNand;
  QCheckBox* m_eraseReserved;
  QPushButton* m_start;
  QPushButton* m_stop;
  QWidget* m_tileArea;
  QGridLayout* m_grid;
  QLabel* m_status;
  QLabel* m_tally;
  std::vector<StationTile*> m_tiles;
  std::map<std::string, StationTile*> m_tileOf;

  std::thread m_thread;
  // Read by the station's thread (StationSetup::stopRequests).
  std::atomic<int> m_stopRequests{0};
};

}  // namespace morvak
