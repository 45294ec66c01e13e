#pragma once
// What the lists of the main window share: the selected rows as text for the clipboard, and
// the whole list written to a text file with the columns and the delimiter the user chooses.

#include <QString>
#include <functional>

class QTreeWidget;
class TGetTextFileForm;

// The selected rows, one line each, their columns joined by commas.
QString SelectedRowsText(const QTreeWidget* list);

// Asks for the file and the columns (runForm shows the dialog), writes the list and offers to
// open it. An empty list is refused with "Nothing in the list".
void ExportListToText(QTreeWidget* list, const QString& proposedName,
                      const std::function<int(TGetTextFileForm&)>& runForm);
