#include "SweepHarness.h"

#include <thread>

#include "FaultPlan.h"
#include "RunStage.h"
#include "RunTexts.h"

namespace morvak::testing {
namespace {

bool InFlashImage(Step step) {
  return step == Step::Block || step == Step::Run || step == Step::Report || step == Step::Config ||
         step == Step::EndTransfer;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string Show(const Lines& lines) { return ::testing::PrintToString(lines); }

}  // namespace

SweepTally& Tally() {
  static SweepTally tally;
  return tally;
}

void CountCase(int SweepTally::*kind, const std::string& label, const std::string& problem) {
  SweepTally& t = Tally();
  ++t.cases;
  ++(t.*kind);
  if (problem.empty()) {
    ++t.correct;
  } else {
    ADD_FAILURE() << label << ": " << problem;
  }
}

HandsetRun SweepHarness::Prepare(const std::string& faults) const {
  HandsetRun r;
  r.run = std::make_unique<RecordingRun>();
  r.run->m_strModuleDirectory = m_dir.Directory();
  FaultPlan plan;
  std::string error;
  EXPECT_TRUE(ParseFaultPlan(faults, plan, error)) << faults << ": " << error;
  auto handset = std::make_unique<VirtualHandsetTransport>(plan);
  r.handset = handset.get();
  RecordingRun* run = r.run.get();
  auto log = std::make_unique<OpLogTransport>(std::move(handset), [run] { return run->Lines().size(); });
  r.log = log.get();
  r.run->m_link.m_device.SetTransport(std::move(log));
  return r;
}

bool SweepHarness::Start(HandsetRun& r, const std::string& image) {
  r.run->m_strImagePath = image;
  std::string line;
  if (!r.run->ApplyStartSettings(morvak::testing::SettingsOf(*r.run), line)) {
    ADD_FAILURE() << "Start refused " << image << ": " << line;
    return false;
  }
  if (!r.run->StartWorker()) {
    ADD_FAILURE() << "the worker did not start";
    return false;
  }
  return true;
}

bool SweepHarness::WaitEnded(const HandsetRun& r, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (r.run->WorkerAlive()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  r.run->JoinWorker();
  return true;
}

bool SweepHarness::Record(const std::string& image, SweepSubject& subject) const {
  HandsetRun r = Prepare("");
  if (!Start(r, image) || !WaitEnded(r, std::chrono::seconds(10))) return false;
  const auto messages = r.run->Messages();
  if (messages.empty() || messages.back().kind != RunEventKind::kRunSucceeded) return false;
  subject.image = image;
  subject.paths = {r.run->m_bootFile.path, r.run->m_programFile.path, image};
  subject.log = r.log->Log();
  subject.steps = ClassifyOps(subject.log);
  subject.lines = r.run->Lines();
  subject.blocks = r.handset->Blocks();
  for (const OpStep& s : subject.steps)
    if (s.step == Step::Unknown) return false;
  return true;
}

Expectation SweepHarness::WithTail(const SweepSubject& subject, size_t at, Lines tail, bool box) {
  Expectation e;
  const size_t before = subject.log.at(at).linesBefore;
  e.lines.assign(subject.lines.begin(), subject.lines.begin() + static_cast<long>(before));
  e.lines.insert(e.lines.end(), tail.begin(), tail.end());
  e.box = box;
  e.flashImageRan = InFlashImage(subject.steps.at(at).step);
  return e;
}

Expectation SweepHarness::AtFailingOp(const SweepSubject& subject, size_t failing) {
  if (failing >= subject.log.size() || subject.steps[failing].step == Step::EndTransfer) {
    Expectation e;
    e.succeeds = true;
    e.lines.assign(subject.lines.begin(), subject.lines.end() - 1);
    e.flashImageRan = true;
    return e;
  }
  return WithTail(subject, failing,
                  FailureTail(subject.steps[failing], subject.log[failing].kind, subject.paths));
}

std::string SweepHarness::CheckEnd(const HandsetRun& r, const Expectation& expected) {
  std::string problem;
  const auto note = [&problem](const std::string& what) { problem += (problem.empty() ? "" : "; ") + what; };
  const RecordingRun& run = *r.run;
  const auto messages = run.Messages();
  const Lines lines = run.Lines();
  if (messages.empty() || messages.front().kind != RunEventKind::kRunBegins) note("the run did not begin with its begin event");
  const RunEventKind end = expected.succeeds ? RunEventKind::kRunSucceeded : RunEventKind::kRunFailed;
  if (messages.empty() || messages.back().kind != end)
    note(expected.succeeds ? "the run did not end succeeded" : "the run did not end failed");
  if (expected.succeeds) {
    const bool same = lines.size() == expected.lines.size() + 1 &&
                      std::equal(expected.lines.begin(), expected.lines.end(), lines.begin()) &&
                      (StartsWith(lines.back(), texts::kImgSucceeded) || StartsWith(lines.back(), texts::kRawSucceeded));
    if (!same) note("lines " + Show(lines) + ", expected " + Show(expected.lines) + " and the success line");
  } else if (lines != expected.lines) {
    note("lines " + Show(lines) + ", expected " + Show(expected.lines));
  }
  if (run.Boxes().size() != (expected.box ? 1u : 0u)) note("message boxes: " + Show(run.Boxes()));
  const RunEndPoint endPoint = run.EndPoint();
  if (expected.succeeds && (endPoint.stage != RunStage::Finish || endPoint.failure != FailureKind::None))
    note("a run that succeeded ended at " + StageName(endPoint) + " with " + FailureReason(endPoint));
  if (!expected.succeeds && (endPoint.failure == FailureKind::None || FailureReason(endPoint).empty()))
    note("a run that failed at " + StageName(endPoint) + " gave no reason");
  bool progress = false;
  for (const RunMessage& m : messages) progress = progress || m.kind == RunEventKind::kProgressPosition;
  if (expected.flashImageRan) {
    const size_t n = messages.size();
    if (n < 2 || messages[n - 2].kind != RunEventKind::kProgressPosition || messages[n - 2].value != 0)
      note("FlashImage did not reset the progress last");
  } else if (progress) {
    note("a run that never reached FlashImage moved the progress");
  }
  if (run.m_programFile.data != nullptr) note("the programmer buffer was left allocated");
  if (run.m_imageFile.data != nullptr) note("the image buffer was left allocated");
  if (run.WorkerAlive()) note("the worker is still alive");
  if (run.ControlsReleased() == 0 || run.EventsBeforeRelease() != messages.size())
    note("the buttons were not given back after the outcome");
  return problem;
}

std::string SweepHarness::CheckFreshRun(HandsetRun& r, const SweepSubject& subject) const {
  auto handset = std::make_unique<VirtualHandsetTransport>(FaultPlan{});
  VirtualHandsetTransport* fresh = handset.get();
  r.run->m_link.m_device.SetTransport(std::move(handset));
  r.handset = fresh;
  r.log = nullptr;
  const size_t before = r.run->Messages().size();
  if (!Start(r, subject.image)) return "the fresh run was refused at Start";
  if (!WaitEnded(r, std::chrono::seconds(10))) {
    r.run->Shutdown();
    return "the fresh run did not end";
  }
  const auto messages = r.run->Messages();
  if (messages.size() <= before || messages.back().kind != RunEventKind::kRunSucceeded) return "the fresh run failed";
  if (fresh->Blocks() != subject.blocks) return "the fresh run sent other blocks";
  return {};
}

std::string SweepHarness::RunCase(const SweepSubject& subject, const std::string& faults, const Expectation& expected,
                                  const std::function<void(HandsetRun&)>& arm) const {
  HandsetRun r = Prepare(faults);
  if (arm) arm(r);
  if (!Start(r, subject.image)) return "Start refused";
  if (!WaitEnded(r, std::chrono::seconds(5))) {
    r.run->Shutdown();
    return "the run did not end within 5 s";
  }
  std::string problem = CheckEnd(r, expected);
  const std::string fresh = CheckFreshRun(r, subject);
  if (!fresh.empty()) problem += (problem.empty() ? "" : "; ") + fresh;
  return problem;
}

}  // namespace morvak::testing
