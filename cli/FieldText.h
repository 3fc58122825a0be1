#pragma once
// A record's field as the console shows it: a cell of the text table or a
// field of CSV. Neither can be made to look like something else: control
// characters (C0, DEL and C1) and the marks that reorder text (bidirectional
// embeddings, overrides and isolates, the left-to-right, right-to-left and
// Arabic letter marks) never reach the output as they are.
#include <string>
#include <string_view>

namespace morvak::cli {

// "-" for an empty field; each control character or reordering mark is one '?'.
std::string TableCell(std::string_view text);

// One CSV field. Each control character or reordering mark is written as
// \uNNNN (a line end too, so every row is one line; a backslash stays as it
// is). A field that starts with = + - @, a tab or a CR gets a leading
// apostrophe, so that a spreadsheet takes it as text, not as a formula. The
// field is then quoted, its quotes doubled, when it holds a comma or a quote
// or has blanks at an end.
std::string CsvField(std::string_view text);
// The same, appended to `out` (a row being made).
void AppendCsvField(std::string_view text, std::string& out);

}  // namespace morvak::cli
