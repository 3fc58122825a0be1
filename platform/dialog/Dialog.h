#pragma once
// CDialog: the thin dialog base the program's windows are written against.
// It offers what dialog code expects of a dialog manager and no more:
// controls built from a template and found by id, field exchange
// (UpdateData), posted window messages handled by DefWindowProc, calls from a
// worker thread that wait until the window has carried them out, a stand-in
// for the system menu, dropped files, and the Enter and Esc keys of a dialog.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "DialogUnits.h"

class QButtonGroup;
class QLabel;
class QMenu;
class QMessageBox;
class QPixmap;

namespace morvak {

class CDataExchange;
class WindowMessageEvent;

// System commands of the stand-in system menu.
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;

class CDialog : public QDialog {
 public:
  explicit CDialog(DialogTemplate dialogTemplate, QWidget* parent = nullptr);
  ~CDialog() override;

  // Builds the window and its controls once, then runs OnInitDialog.
  void Create();
  // Creates the dialog if need be, runs it modally, then runs OnDestroy.
  // Returns the result given to EndDialog.
  int DoModal();
  // Ends a dialog that was created without DoModal: hides it, runs OnDestroy.
  void Destroy();
  void EndDialog(int result);
  // The caption; before Create it replaces the template's.
  void SetCaption(const std::string& caption);
  bool Ended() const { return m_bEnded; }

  // --- Controls (window thread).
  QWidget* GetDlgItem(int id) const;
  template <class T>
  T* GetDlgItemAs(int id) const {
    return dynamic_cast<T*>(GetDlgItem(id));
  }
  // Every control in template order, with the template entry it was built from.
  size_t ControlCount() const { return m_controls.size(); }
  QWidget* ControlAt(size_t index) const { return m_controls[index].widget; }
  const ControlSpec& SpecAt(size_t index) const { return m_controls[index].spec; }
  // The index of a control in template order; ControlCount() when it is not one.
  size_t IndexOf(const QWidget* control) const;

  void SetDlgItemText(int id, const std::string& text);
  std::string GetDlgItemText(int id) const;
  void EnableDlgItem(int id, bool enable);
  bool IsDlgItemEnabled(int id) const;
  void CheckDlgButton(int id, bool checked);
  bool IsDlgButtonChecked(int id) const;
  // Shows a bitmap in a picture control.
  static void SetImage(QLabel* picture, const QPixmap& bitmap);
  // A modal question box with Yes and No over this dialog; true for Yes. No
  // is the default, so that a stray Enter answers No.
  bool AskYesNo(const std::string& text);

  DialogBaseUnits BaseUnits() const { return BaseUnitsOf(m_template.font); }
  QRect MapDialogRect(const QRect& dialogUnits) const { return morvak::MapDialogRect(dialogUnits, BaseUnits()); }

  // Field exchange: true moves the controls' contents into the fields, false
  // the fields into the controls, in the order DoDataExchange gives.
  bool UpdateData(bool saveAndValidate = true);
  virtual void DoDataExchange(CDataExchange* pDX);

  // --- Window messages. Safe from any thread; handled on the window thread,
  // one at a time, in posting order, by WindowProc.
  void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // The same for a message that carries a line of text with it.
  void PostLine(uint32_t message, std::string line);

  // --- Calls from a worker thread. Each waits until the window thread has
  // carried it out, as a cross-thread SendMessage does; on the window thread
  // itself it is carried out at once.
  void CallFromWorker(const std::function<void()>& call);
  void EnableDlgItemFromWorker(int id, bool enable);
  // A modal warning box with only OK, over this dialog; returns once it is
  // closed.
  // Once the dialog has ended no box opens, and ending it closes an open one.
  void MessageBoxFromWorker(const std::string& text);
  // Runs the calls workers are waiting on until `finished` holds. A window
  // thread that waits for a worker must wait here: a worker blocked in a call
  // that nobody serves never returns.
  void ServeWorkerCallsUntil(const std::function<bool()>& finished);

  // --- The stand-in for the system menu: the dialog's context menu, with
  // Minimize and Close, to which a dialog may append its own commands; each
  // reaches OnSysCommand. Null for a dialog without a system menu.
  QMenu* GetSystemMenu();
  static void AppendMenuSeparator(QMenu* menu);
  static void AppendMenuItem(QMenu* menu, unsigned id, const std::string& text);

 protected:
  virtual bool OnInitDialog();
  virtual void OnDestroy() {}
  // Enter, when no button takes it: the fields are taken from the controls
  // and the dialog ends with IDOK.
  virtual void OnOK();
  // Esc and the close box: the dialog ends with IDCANCEL.
  virtual void OnCancel();
  // A push button, radio button or check box was clicked. The default ends
  // the dialog for IDOK and IDCANCEL.
  virtual void OnCommand(int id);
  virtual void OnSysCommand(unsigned id, intptr_t lParam);
  // Files dropped on a dialog that accepts them: local file names, as bytes,
  // in the drop's order.
  virtual void OnDropFiles(const std::vector<std::string>& names);
  // Every posted message arrives here; the default hands it to DefWindowProc.
  virtual intptr_t WindowProc(const WindowMessageEvent& message);
  virtual intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

  const DialogTemplate& Template() const { return m_template; }

  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 public:
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }
  void done(int result) override;

 private:
  struct Control {
    QWidget* widget = nullptr;
    ControlSpec spec;
  };
  QWidget* MakeControl(const ControlSpec& spec, QButtonGroup*& radioGroup);

  DialogTemplate m_template;
  std::vector<Control> m_controls;
  QMenu* m_systemMenu = nullptr;
  QMessageBox* m_workerBox = nullptr;
  bool m_bCreated = false;
  bool m_bDestroyed = false;
  bool m_bEnded = false;
};

}  // namespace morvak
