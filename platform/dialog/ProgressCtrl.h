#pragma once
// A progress bar with the semantics of the Windows progress control: a 32-bit
// signed range that may be empty (0..0 is allowed and shows an empty bar, not
// a busy indicator), a position clamped into the range, no percentage text.
#include <QProgressBar>

namespace morvak {

class CProgressCtrl : public QProgressBar {
 public:
  explicit CProgressCtrl(QWidget* parent = nullptr);

  // The range and position start at 0..100 and 0. SetRange32 keeps the
  // position, clamped into the new range.
  void SetRange32(int lower, int upper);
  // Clamps into the range; returns the previous position.
  int SetPos(int position);
  int GetPos() const { return m_position; }
  int GetLower() const { return m_lower; }
  int GetUpper() const { return m_upper; }

 private:
  int Clamped(int position) const;
  void Show();

  int m_lower = 0;
  int m_upper = 100;
  int m_position = 0;
};

}  // namespace morvak
