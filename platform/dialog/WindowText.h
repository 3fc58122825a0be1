#pragma once
// The text of a control as the program set it. A control keeps the exact bytes
// it was given (carriage returns, bytes that are not UTF-8, any length), so
// that reading a control back into its field gives the field unchanged; what
// the control shows is derived from them. Text the operator typed into an
// editable control is read from the control itself.
#include <QWidget>
#include <string>

class QLineEdit;

namespace morvak {

void SetWindowText(QWidget* control, const std::string& text);
std::string GetWindowText(const QWidget* control);

// What a multi-line edit shows for `text`: line ends "\r\n" become line breaks.
QString MultiLineDisplayText(const std::string& text);

// From now on a text set in `edit` is shown from its end, and is its tooltip
// as well; an edit shows a set text from its start otherwise.
void SetShowsEnd(QLineEdit* edit);

}  // namespace morvak
