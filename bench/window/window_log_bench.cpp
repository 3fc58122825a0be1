// The status log at scale. A programmer that sends thousands of text reports
// puts thousands of lines on top of the log; each line also sends every bound
// field to its control. BM_StatusLines appends lines the way the window's own
// handlers do, BM_PostedStatusLines the way a run's lines arrive (posted by
// the worker, handled in posting order, painted as the event loop allows).
// BM_LogRewrittenWhole is the naive way (the whole text re-set into the
// control for every line), whose cost grows with the square of the count.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "FlashToolDlg.h"

namespace morvak {
namespace {

std::unique_ptr<CFlashToolDlg> OpenWindow() {
  auto dlg = std::make_unique<CFlashToolDlg>();
  dlg->Create();
  dlg->show();
  QCoreApplication::processEvents();
  return dlg;
}

void BM_StatusLines(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = OpenWindow();
    state.ResumeTiming();
    for (int i = 0; i < count; ++i) dlg->AppendStatusLine("Block " + std::to_string(i) + " written");
    QCoreApplication::processEvents();
    state.PauseTiming();
    dlg.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_PostedStatusLines(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = OpenWindow();
    state.ResumeTiming();
    for (int i = 0; i < count; ++i) {
      dlg->OnStatusLine("Block " + std::to_string(i) + " written");
      // Let the window keep up now and then, as it does while a run goes on.
      if (i % 100 == 99) QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (dlg->m_strStatusLog.LinesOnTop() < static_cast<size_t>(count)) state.SkipWithError("lines were lost");
    dlg.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_LogRewrittenWhole(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    QPlainTextEdit edit;
    edit.show();
    std::string log;
    for (int i = 0; i < count; ++i) {
      log = "Block " + std::to_string(i) + " written\r\n" + log;
      edit.setPlainText(QString::fromStdString(log));
    }
    QCoreApplication::processEvents();
  }
  state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_StatusLines)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PostedStatusLines)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogRewrittenWhole)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace morvak

int main(int argc, char** argv) {
  // Offscreen unless told otherwise, so that the figures need no display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // The window reads and writes the user's remembered path; keep it private.
  QTemporaryDir profile;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, profile.path());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
