// fuzz_handset_parser: the virtual handset's parser of host bytes, and its
// fault plan text. The handset takes the host's bytes "in any split, as USB
// delivers them": the same bytes given whole and given in pieces must leave
// it in the same state with the same answers.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "FaultPlan.h"
#include "FuzzInputs.h"
#include "FuzzTargets.h"
#include "VirtualHandset.h"

namespace morvak::fuzz {
namespace {

// A small deterministic generator for the piece lengths.
class Pieces {
 public:
  explicit Pieces(uint8_t seed) : m_state(0x9E3779B9u ^ seed) {}
  size_t Next(size_t max) {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state % (max + 1);
  }

 private:
  uint32_t m_state;
};

void TakeAll(VirtualHandset& handset, std::vector<uint8_t>& out, size_t max) {
  uint8_t buffer[64];
  for (size_t n = 1; n != 0;) {
    n = handset.TakeReply(buffer, std::min(max, sizeof buffer));
    out.insert(out.end(), buffer, buffer + n);
  }
}

std::string CheckPlanText(std::string_view text, FaultPlan& plan) {
  FaultPlan sentinel;
  sentinel.errorCode = 0x5EA7u;
  FaultPlan parsed = sentinel;
  std::string error;
  if (!ParseFaultPlan(text, parsed, error)) {
    if (!(parsed == sentinel)) return "a fault plan that does not parse changed its output";
    if (error.empty()) return "a fault plan that does not parse gave no reason";
    plan = FaultPlan{};
    return {};
  }
  FaultPlan again;
  if (!ParseFaultPlan(FaultPlanText(parsed), again, error) || !(again == parsed))
    return "a fault plan's text does not give the plan back";
  if (DescribeFaultPlan(parsed).empty()) return "a fault plan without a description";
  plan = parsed;
  plan.textsPerRun = std::min(plan.textsPerRun, HANDSET_MAX_TEXTS);
  return {};
}

std::string Compare(const VirtualHandset& whole, const VirtualHandset& split) {
  if (whole.Stage() != split.Stage()) return "the stage depends on the split";
  if (whole.Blocks() != split.Blocks()) return "the blocks depend on the split";
  if (whole.HostBytes() != split.HostBytes()) return "the host byte count depends on the split";
  if (whole.RefusalReason() != split.RefusalReason()) return "the refusal depends on the split";
  if (whole.Hung() != split.Hung() || whole.Stalled() != split.Stalled() || whole.Disconnected() != split.Disconnected())
    return "hang, stall or disconnect depends on the split";
  if (whole.LoaderLength() != split.LoaderLength() || whole.LoaderCrc() != split.LoaderCrc())
    return "the loader received depends on the split";
  if (whole.ConfigWords() != split.ConfigWords() || whole.BlockHeaders() != split.BlockHeaders() ||
      whole.RunCommands() != split.RunCommands())
    return "the programmer's record depends on the split";
  return {};
}

}  // namespace

std::string FuzzHandsetParser(const uint8_t* data, size_t size) {
  if (size < HANDSET_SETUP_SIZE) return {};
  const size_t planLength = std::min<size_t>(data[1], size - HANDSET_SETUP_SIZE);
  FaultPlan plan;
  const std::string_view planText(reinterpret_cast<const char*>(data + HANDSET_SETUP_SIZE), planLength);
  if (std::string problem = CheckPlanText(planText, plan); !problem.empty()) return problem;
  const uint8_t* host = data + HANDSET_SETUP_SIZE + planLength;
  const size_t hostSize = size - HANDSET_SETUP_SIZE - planLength;

  VirtualHandset whole(plan);
  whole.Attach();
  whole.HostWrote(host, hostSize);
  std::vector<uint8_t> wholeReplies;
  TakeAll(whole, wholeReplies, 64);

  VirtualHandset split(plan);
  split.Attach();
  std::vector<uint8_t> splitReplies;
  Pieces pieces(data[0]);
  for (size_t at = 0; at < hostSize;) {
    const size_t n = std::min(pieces.Next(40), hostSize - at);
    split.HostWrote(host + at, n);
    at += n;
    TakeAll(split, splitReplies, 1 + pieces.Next(63));
  }
  TakeAll(split, splitReplies, 64);

  if (std::string problem = Compare(whole, split); !problem.empty()) return problem;
  // A handset that went away drops what it had not sent, so only then may the
  // answers taken piece by piece be more.
  if (!whole.Disconnected() && wholeReplies != splitReplies) return "the answers depend on the split";
  if (whole.HostBytes() > hostSize) return "the handset took more bytes than the host wrote";
  if (!plan.disconnect && whole.HostBytes() != hostSize) return "the handset did not take every byte";
  if (plan.disconnect && whole.HostBytes() > plan.disconnectAfter) return "the handset took bytes after it went away";
  if (whole.Stage() == HandsetStage::Halted && whole.RefusalReason().empty()) return "a halt without its reason";
  return {};
}

}  // namespace morvak::fuzz
