#include "ProgressCtrl.h"

namespace morvak {

CProgressCtrl::CProgressCtrl(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
  Show();
}

int CProgressCtrl::Clamped(int position) const {
  if (position < m_lower) position = m_lower;
  if (position > m_upper) position = m_upper;
  return position;
}

void CProgressCtrl::SetRange32(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
  m_position = Clamped(m_position);
  Show();
}

int CProgressCtrl::SetPos(int position) {
  const int previous = m_position;
  m_position = Clamped(position);
  Show();
  return previous;
}

void CProgressCtrl::Show() {
  if (m_upper > m_lower) {
    setRange(m_lower, m_upper);
    setValue(m_position);
  } else {
    // Qt shows an equal minimum and maximum as "busy"; an empty range shows
    // an empty bar instead.
    setRange(0, 1);
    setValue(0);
  }
}

}  // namespace morvak
