// The dialog's traffic with the rest of the program: posted messages, calls
// from workers, the stand-in system menu, keys and dropped files.
#include <QCoreApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <thread>

#include "Dialog.h"
#include "DroppedFileNames.h"
#include "ThreadHandOff.h"
#include "WindowMessageEvent.h"
#include "WorkerCallEvent.h"

namespace morvak {

void CDialog::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* event = new WindowMessageEvent(message, wParam, lParam);
  HandOver(event);
  QCoreApplication::postEvent(this, event);
}

void CDialog::PostLine(uint32_t message, std::string line) {
  auto* event = new WindowMessageEvent(message, 0, 0, std::move(line));
  HandOver(event);
  QCoreApplication::postEvent(this, event);
}

bool CDialog::event(QEvent* e) {
  // Before the event is read at all: it may come from another thread.
  TakeOver(e);
  if (e->type() == WindowMessageEvent::EventType()) {
    WindowProc(*static_cast<WindowMessageEvent*>(e));
    return true;
  }
  if (e->type() == WorkerCallEvent::EventType()) {
    static_cast<WorkerCallEvent*>(e)->Run();
    return true;
  }
  return QDialog::event(e);
}

intptr_t CDialog::WindowProc(const WindowMessageEvent& message) {
  return DefWindowProc(message.Message(), message.WParam(), message.LParam());
}

intptr_t CDialog::DefWindowProc(uint32_t, uintptr_t, intptr_t) { return 0; }

void CDialog::CallFromWorker(const std::function<void()>& call) {
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  WorkerCallEvent::Waiter waiter;
  auto* event = new WorkerCallEvent(call, waiter);
  HandOver(event);
  QCoreApplication::postEvent(this, event);
  waiter.Wait();
}

void CDialog::EnableDlgItemFromWorker(int id, bool enable) {
  CallFromWorker([this, id, enable] { EnableDlgItem(id, enable); });
}

void CDialog::MessageBoxFromWorker(const std::string& text) {
  CallFromWorker([this, &text] {
    if (m_bEnded) return;
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), QString::fromStdString(text),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    m_workerBox = &box;
    box.exec();
    m_workerBox = nullptr;
  });
}

bool CDialog::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void CDialog::ServeWorkerCallsUntil(const std::function<bool()>& finished) {
  while (!finished()) {
    QCoreApplication::sendPostedEvents(this, WorkerCallEvent::EventType());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

QMenu* CDialog::GetSystemMenu() {
  if ((m_template.style & DialogStyle::SystemMenu) == 0) return nullptr;
  if (m_systemMenu == nullptr) {
    m_systemMenu = new QMenu(this);
    QObject::connect(m_systemMenu, &QMenu::triggered, this,
                     [this](QAction* action) { OnSysCommand(action->data().toUInt(), 0); });
    if ((m_template.style & DialogStyle::MinimizeBox) != 0) AppendMenuItem(m_systemMenu, SC_MINIMIZE, "Minimize");
    AppendMenuItem(m_systemMenu, SC_CLOSE, "Close");
  }
  return m_systemMenu;
}

void CDialog::AppendMenuSeparator(QMenu* menu) {
  if (menu != nullptr) menu->addSeparator();
}

void CDialog::AppendMenuItem(QMenu* menu, unsigned id, const std::string& text) {
  if (menu == nullptr) return;
  QAction* action = menu->addAction(QString::fromStdString(text));
  action->setData(id);
}

void CDialog::OnSysCommand(unsigned id, intptr_t) {
  if (id == SC_MINIMIZE) showMinimized();
  if (id == SC_CLOSE) close();
}

void CDialog::contextMenuEvent(QContextMenuEvent* e) {
  if (QMenu* menu = GetSystemMenu()) {
    menu->popup(e->globalPos());
    e->accept();
    return;
  }
  QDialog::contextMenuEvent(e);
}

void CDialog::keyPressEvent(QKeyEvent* e) {
  const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
  const bool plain = e->modifiers() == Qt::NoModifier ||
                     (e->modifiers() == Qt::KeypadModifier && e->key() == Qt::Key_Enter);
  if (!enter || !plain) {
    QDialog::keyPressEvent(e);
    return;
  }
  e->accept();
  // Enter presses the focused push button; a control that wants Enter keeps
  // it; otherwise it is the default push button's, or the dialog's OK.
  QWidget* focus = focusWidget();
  if (auto* button = qobject_cast<QPushButton*>(focus)) {
    if (button->isEnabled()) button->click();
    return;
  }
  const size_t index = IndexOf(focus);
  if (index < ControlCount() && (SpecAt(index).style & ControlStyle::WantReturn) != 0) return;
  for (size_t i = 0; i < ControlCount(); ++i)
    if ((SpecAt(i).style & ControlStyle::DefaultButton) != 0) {
      if (auto* b = qobject_cast<QPushButton*>(ControlAt(i)); b != nullptr && b->isEnabled()) b->click();
      return;
    }
  OnOK();
}

void CDialog::dragEnterEvent(QDragEnterEvent* e) {
  if (acceptDrops() && !DroppedFileNames(*e->mimeData()).empty()) e->acceptProposedAction();
}

void CDialog::dragMoveEvent(QDragMoveEvent* e) {
  if (acceptDrops() && !DroppedFileNames(*e->mimeData()).empty()) e->acceptProposedAction();
}

void CDialog::dropEvent(QDropEvent* e) {
  if (!acceptDrops()) return;
  const std::vector<std::string> names = DroppedFileNames(*e->mimeData());
  if (names.empty()) return;
  e->acceptProposedAction();
  OnDropFiles(names);
}

void CDialog::OnDropFiles(const std::vector<std::string>&) {}

}  // namespace morvak
