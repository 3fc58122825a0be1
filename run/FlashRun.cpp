#include "FlashRun.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "Format.h"
#include "ModuleDirectory.h"
#include "RegularFile.h"
#include "RunTexts.h"

namespace morvak {

FlashRun::FlashRun(IRunEvents& events) : m_strModuleDirectory(GetModuleDirectory()), m_events(events) {
  m_link.m_pOwner = &events;
}

FlashRun::~FlashRun() {
  // A deriving class ends its worker before its own members go; this is the
  // last guard, for a run state that was never shown in a window.
  if (m_worker.joinable()) {
    RequestStop();
    if (ITransport* t = m_link.m_device.GetTransport()) t->Interrupt();
    m_worker.join();
  }
}

void FlashRun::PostStatus(const std::string& text) { m_events.OnStatusLine(text); }

void FlashRun::EnterStage(RunStage stage, uint32_t record) {
  m_endPoint.stage = stage;
  m_endPoint.record = record;
}

void FlashRun::EndWith(FailureKind failure, const char* file) {
  m_endPoint.failure = failure;
  m_endPoint.file = file != nullptr ? FolderName(file) : std::string();
}

void FlashRun::EndAtLink() {
  EndWith(FailureOf(m_link.m_fault));
  if (m_link.m_fault == LinkFault::ProgrammerError) m_endPoint.errorCode = m_link.m_programmerError;
}

bool FlashRun::StartWorker() {
  // The worker's last act after it has given the buttons back is to clear the
  // flag, so a Start that comes right then waits a moment instead of failing.
  for (int i = 0; i < 200 && m_bWorkerAlive.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (m_bWorkerAlive.load()) return false;
  if (m_worker.joinable()) m_worker.join();
  m_bWorkerAlive.store(true);
  m_worker = std::thread([this] { FlashThreadProc(this); });
  return true;
}

std::string FlashRun::StillEndingLine() const {
  std::chrono::steady_clock::time_point since;
  if (!m_bWorkerAlive.load() || !m_link.m_device.ReadPending(since)) return texts::kRunStillEnding;
  const std::chrono::milliseconds timeout = m_link.m_device.ReplyTimeout();
  if (timeout.count() == 0)
    return Format(texts::kRunStillWaitingUnboundedFormat, ShownPath(m_strConfigPath).c_str());
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
  // Whole seconds, rounded up, and never "0": the read ends at the latest then.
  const long long left = std::max<long long>(1, ((timeout - waited).count() + 999) / 1000);
  return Format(texts::kRunStillWaitingFormat, SecondsText(std::chrono::seconds(left)).c_str());
}

void FlashRun::JoinWorker() {
  if (m_worker.joinable()) m_worker.join();
}

void FlashRun::RequestStop() {
  m_link.m_bCancelWait.store(1);
  m_link.m_device.m_bAbort.store(1);
}

void FlashRun::Shutdown() {
  RequestStop();
  if (ITransport* t = m_link.m_device.GetTransport()) t->Interrupt();
  JoinWorker();
}

unsigned FlashRun::FlashThreadProc(void* param) {
  FlashRun* run = static_cast<FlashRun*>(param);
  const int result = run->RunFlashing();
  if (run->DigestWanted() && !run->m_bImageDigestDone) run->FinishImageDigest(nullptr, nullptr);
  // Whatever the failed step saw of it, a run that failed after the operator
  // asked it to stop was stopped (an interrupted read looks like a lost handset).
  if (result == 0 && run->StopRequested()) run->m_endPoint.failure = FailureKind::Stopped;
  run->m_events.OnRunOutcome(result != 0);
  // The channels of this run are released here, so that the next run opens
  // the handset afresh (it may have been re-plugged).
  run->m_link.m_device.Close();
  run->m_events.ReleaseRunControls();
  run->m_events.OnWorkerFinished();
  run->m_bWorkerAlive.store(false);
  return 0;
}

int FlashRun::RunFlashing() {
  m_endPoint = RunEndPoint{};
  std::fill(std::begin(m_asicId), std::end(m_asicId), uint8_t{0});
  m_strImageSha256.clear();
  m_bImageDigestDone = false;
  m_events.OnRunBegins();
  m_link.m_nPayloadTotal = m_nPayloadSize;
  m_link.m_device.ResetPayloadCount();
  PostStatus(Format(texts::kReadInputFile, ShownPath(m_strRunImagePath).c_str()));
  if (CheckImageFile() == 0) return 0;
  if (LoadProgrammer() == 0) return 0;
  if (PrepareTarget() == 0) {
    ReleaseProgrammer();
    return 0;
  }
  PostStatus(Format(texts::kFileAlreadyDownloaded, ShownPath(m_bootFile.path).c_str()));
  const int result = FlashImage();
  ReleaseProgrammer();
  return result;
}

}  // namespace morvak
