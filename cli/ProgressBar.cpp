#include "ProgressBar.h"

#include <algorithm>

#include "CliTexts.h"
#include "TransferMeter.h"

namespace morvak::cli {
namespace {

// The bar between its brackets: a third of the line, no wider than
// kWidestBar, and left out when narrower than kLeastBar.
constexpr size_t kWidestBar = 40;
constexpr size_t kLeastBar = 5;

}  // namespace

std::string CProgressBar::Render(const ProgressState& s, const std::string& label, int width) {
  const size_t limit = width > 1 ? static_cast<size_t>(width - 1) : 0;
  double fraction = 0;
  if (s.expectedBytes > 0)
    fraction = static_cast<double>(s.bytes) / static_cast<double>(s.expectedBytes);
  else if (s.range > 0)
    fraction = static_cast<double>(s.position) / static_cast<double>(s.range);
  fraction = std::clamp(fraction, 0.0, 1.0);

  // The fields after the bar in the order shown; `worth` decides which go
  // first when the line is too long (the percentage never goes).
  struct Field {
    std::string text;
    int worth;
  };
  std::vector<Field> fields;
  char text[64];
  std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(fraction * 100));
  fields.push_back({text, 9});
  if (s.secondsSending < 0) {
    if (!s.ended) fields.push_back({clitexts::kWaitingForHandset, 4});
  } else {
    fields.push_back({SizeText(s.bytes), 2});
    const double rate = s.secondsSending > 0 ? static_cast<double>(s.bytes) / s.secondsSending : 0;
    if (rate > 0) {
      fields.push_back({RateText(rate), 4});
      if (!s.ended && s.expectedBytes > s.bytes) {
        const auto left = static_cast<long>(static_cast<double>(s.expectedBytes - s.bytes) / rate);
        fields.push_back({TimeLeftText(left), 3});
      }
    }
  }
  if (s.range > 0)
    fields.push_back({"(" + std::to_string(s.position) + "/" + std::to_string(s.range) + ")", 1});

  const std::string head = label.empty() ? std::string() : label + " ";
  // The bar's width depends on the terminal's alone, so that it stays put
  // while the fields after it come and go.
  const size_t room = limit > head.size() ? limit - head.size() : 0;
  size_t inner = std::min(kWidestBar, room / 3);
  if (inner < kLeastBar) inner = 0;
  const size_t barWidth = inner > 0 ? inner + 3 : 0;  // the brackets and the space after
  const auto joined = [&fields] {
    std::string all;
    for (const Field& f : fields) (all.empty() ? all : all += "  ") += f.text;
    return all;
  };
  std::string tail = joined();
  while (barWidth + tail.size() > room && fields.size() > 1) {
    fields.erase(std::min_element(fields.begin(), fields.end(),
                                  [](const Field& a, const Field& b) { return a.worth < b.worth; }));
    tail = joined();
  }
  std::string line = head;
  if (inner > 0) {
    const auto filled = static_cast<size_t>(fraction * static_cast<double>(inner));
    (line += '[').append(filled, '#').append(inner - filled, '-').append("] ");
  }
  line += tail;
  if (line.size() > limit) line.resize(limit);
  return line;
}

CProgressBar::CProgressBar(std::FILE* err, std::function<Clock::time_point()> now)
    : m_err(err), m_now(std::move(now)), m_enabled(TakesControlCodes(err)) {
  if (!m_enabled) return;
  m_resize = std::make_unique<CResizeWatch>();
  m_size = TerminalSizeOf(fileno(m_err));
}

CProgressBar::~CProgressBar() {
  if (m_shownLines > 0 && !m_finished) {
    std::fputs("\n", m_err);
    std::fflush(m_err);
  }
}

void CProgressBar::AddHandset(std::string label, const std::atomic<uint64_t>* counter) {
  Handset h;
  h.label = std::move(label);
  h.counter = counter;
  m_handsets.push_back(std::move(h));
}

void CProgressBar::SetRange(size_t handset, uint64_t range) {
  if (handset >= m_handsets.size()) return;
  m_handsets[handset].range = range;
  m_handsets[handset].position = 0;
}

void CProgressBar::SetPosition(size_t handset, uint64_t position) {
  if (handset < m_handsets.size()) m_handsets[handset].position = position;
}

void CProgressBar::SetExpectedBytes(size_t handset, uint64_t bytes) {
  if (handset < m_handsets.size()) m_handsets[handset].expectedBytes = bytes;
}

void CProgressBar::EndHandset(size_t handset) {
  if (handset >= m_handsets.size() || m_handsets[handset].ended) return;
  const Clock::time_point now = m_now();
  NoteFirstBytes(now);
  Handset& h = m_handsets[handset];
  h.ended = now;
  h.bytesAtEnd = h.counter != nullptr ? h.counter->load() : 0;
}

void CProgressBar::NoteFirstBytes(Clock::time_point now) {
  for (Handset& h : m_handsets)
    if (!h.firstByte && !h.ended && h.counter != nullptr && h.counter->load() > 0) h.firstByte = now;
}

std::string CProgressBar::Erase() const {
  std::string codes = "\r";
  if (m_shownLines > 1) codes += "\033[" + std::to_string(m_shownLines - 1) + "A";
  return codes + "\033[J";
}

void CProgressBar::Show(Clock::time_point now, bool ended) {
  if (m_resize->Resized()) m_size = TerminalSizeOf(fileno(m_err));
  size_t labelWidth = 0;
  for (const Handset& h : m_handsets) labelWidth = std::max(labelWidth, h.label.size());
  // A line more than the terminal's rows would scroll the first out of reach
  // of the cursor.
  const size_t lines = std::min(m_handsets.size(), static_cast<size_t>(std::max(1, m_size.rows - 1)));
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    const Handset& h = m_handsets[i];
    ProgressState s;
    s.range = h.range;
    s.position = h.position;
    s.bytes = h.ended ? h.bytesAtEnd : h.counter != nullptr ? h.counter->load() : 0;
    s.expectedBytes = h.expectedBytes;
    if (h.firstByte) s.secondsSending = std::chrono::duration<double>(h.ended.value_or(now) - *h.firstByte).count();
    s.ended = ended || h.ended;
    std::string label = h.label;
    if (!label.empty()) label.resize(labelWidth, ' ');
    if (i > 0) text += '\n';
    text += Render(s, label, m_size.columns);
  }
  m_lastDraw = now;
  // Unchanged lines are not drawn again: a terminal need not flicker while
  // the handset is awaited.
  if (m_shownLines == static_cast<int>(lines) && text == m_shownText) return;
  std::fputs((Erase() + text).c_str(), m_err);
  std::fflush(m_err);
  m_shownText = std::move(text);
  m_shownLines = static_cast<int>(lines);
  m_everShown = m_everShown || lines > 0;
}

void CProgressBar::Draw() {
  if (!m_enabled || m_finished || m_handsets.empty()) return;
  const Clock::time_point now = m_now();
  NoteFirstBytes(now);
  if (m_shownLines > 0 && now - m_lastDraw < std::chrono::milliseconds(100)) return;
  Show(now, false);
}

void CProgressBar::Clear() {
  if (m_shownLines == 0) return;
  std::fputs(Erase().c_str(), m_err);
  std::fflush(m_err);
  m_shownLines = 0;
}

void CProgressBar::Finish() {
  if (!m_enabled || m_finished) return;
  m_finished = true;
  if (!m_everShown) return;
  const Clock::time_point now = m_now();
  NoteFirstBytes(now);
  const bool anySent = std::any_of(m_handsets.begin(), m_handsets.end(), [](const Handset& h) { return h.firstByte; });
  if (!anySent) {
    Clear();
    return;
  }
  Show(now, true);
  std::fputs("\n", m_err);
  std::fflush(m_err);
  m_shownLines = 0;
}

}  // namespace morvak::cli
