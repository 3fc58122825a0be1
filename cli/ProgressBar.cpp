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

std::string ProgressBar::Render(const ProgressState& s, const std::string& label, int width) {
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
  if (!s.sending) {
    if (!s.ended) fields.push_back({clitexts::kWaitingForHandset, 4});
  } else {
    fields.push_back({SizeText(s.bytes), 2});
    const double rate = s.rate.value_or(0);
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

ProgressBar::ProgressBar(std::FILE* err, std::function<Clock::time_point()> now)
    : m_err(err), m_now(std::move(now)), m_enabled(TakesControlCodes(err)) {
  if (!m_enabled) return;
  m_resize = std::make_unique<ResizeWatch>();
  m_size = TerminalSizeOf(fileno(m_err));
}

ProgressBar::~ProgressBar() {
  if (m_shownLines > 0 && !m_finished) {
    std::fputs("\n", m_err);
    std::fflush(m_err);
  }
}

ProgressBar::Handset* ProgressBar::Find(size_t handset) {
  return handset < m_handsets.size() && m_handsets[handset].shown ? &m_handsets[handset] : nullptr;
}

void ProgressBar::ShowHandset(size_t handset, std::string label) {
  if (handset >= m_handsets.size()) m_handsets.resize(handset + 1);
  Handset& h = m_handsets[handset];
  h = Handset();
  h.shown = true;
  h.label = std::move(label);
}

void ProgressBar::HideHandset(size_t handset) {
  if (Handset* h = Find(handset)) h->shown = false;
}

void ProgressBar::SetRange(size_t handset, uint64_t range) {
  if (Handset* h = Find(handset)) {
    h->range = range;
    h->position = 0;
  }
}

void ProgressBar::SetPosition(size_t handset, uint64_t position) {
  if (Handset* h = Find(handset)) h->position = position;
}

void ProgressBar::SetPayload(size_t handset, uint64_t sent, uint64_t total) {
  Handset* h = Find(handset);
  if (h == nullptr || h->ended) return;
  h->sent = sent;
  h->total = total;
  if (sent > 0) h->meter.Note(sent, total, m_now());
}

void ProgressBar::EndHandset(size_t handset) {
  if (Handset* h = Find(handset)) h->ended = true;
}

std::string ProgressBar::Erase() const {
  std::string codes = "\r";
  if (m_shownLines > 1) codes += "\033[" + std::to_string(m_shownLines - 1) + "A";
  return codes + "\033[J";
}

void ProgressBar::Show(Clock::time_point now, bool ended) {
  if (m_resize->Resized()) m_size = TerminalSizeOf(fileno(m_err));
  size_t labelWidth = 0;
  std::vector<const Handset*> shown;
  for (const Handset& h : m_handsets) {
    if (!h.shown) continue;
    labelWidth = std::max(labelWidth, h.label.size());
    shown.push_back(&h);
  }
  // A line more than the terminal's rows would scroll the first out of reach
  // of the cursor.
  const size_t lines = std::min(shown.size(), static_cast<size_t>(std::max(1, m_size.rows - 1)));
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    const Handset& h = *shown[i];
    ProgressState s;
    s.range = h.range;
    s.position = h.position;
    s.bytes = h.sent;
    s.expectedBytes = h.total;
    s.sending = h.meter.Started();
    s.rate = h.meter.Rate();
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

void ProgressBar::Draw() {
  if (!m_enabled || m_finished) return;
  const Clock::time_point now = m_now();
  if (m_shownLines > 0 && now - m_lastDraw < std::chrono::milliseconds(100)) return;
  Show(now, false);
}

void ProgressBar::Clear() {
  if (m_shownLines == 0) return;
  std::fputs(Erase().c_str(), m_err);
  std::fflush(m_err);
  m_shownLines = 0;
}

void ProgressBar::Finish() {
  if (!m_enabled || m_finished) return;
  m_finished = true;
  if (!m_everShown) return;
  const Clock::time_point now = m_now();
  const bool anySent = std::any_of(m_handsets.begin(), m_handsets.end(),
                                   [](const Handset& h) { return h.shown && h.meter.Started(); });
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
