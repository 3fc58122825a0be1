#include "WindowPicture.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"

namespace morvak {

void ArrangeWindowPicture(CFlashToolDlg& dialog) {
  const char* path = std::getenv(kWindowPictureVariable);
  if (path == nullptr || *path == '\0') return;
  const QString file = QString::fromLocal8Bit(path);
  // A run that has not ended by then is pictured as it stands.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  QTimer::singleShot(0, &dialog, [&dialog, file, giveUp] {
    dialog.OnStartFlashing();
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, file, giveUp, poll] {
      const bool ended = !dialog.WorkerAlive() && dialog.IsDlgItemEnabled(IDC_START_FLASHING);
      if (!ended && std::chrono::steady_clock::now() < giveUp) return;
      poll->stop();
      QCoreApplication::sendPostedEvents(&dialog);
      if (!dialog.grab().save(file, "PNG"))
        std::fprintf(stderr, "morvak: cannot save the window picture %s\n", file.toLocal8Bit().constData());
      // The program's own end, not the operator's: nobody is there to be asked.
      dialog.EndDialog(IDCANCEL);
    });
    poll->start(20);
  });
}

}  // namespace morvak
