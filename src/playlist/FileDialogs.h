// The program's file dialogs as plain records: the caller fills title,
// filter ("name|patterns|..." form), filter index (from 1) and initial folder,
// runs ExecuteFileDialog, and reads the chosen names and filter index back.
// Who answers is the installed presenter: Qt's file dialog in the program, a
// script in tests.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace playlist {

struct TFileDialog {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString Title;
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;
    bool MultiSelect = false;
    QString FileName;  // the (first) chosen file
    QStringList Files; // every chosen file, in the dialog's order
};

using FileDialogPresenter = std::function<bool(TFileDialog& dialog, QWidget* owner)>;

// Returns false when the user cancelled; then FileName and Files are untouched.
bool ExecuteFileDialog(TFileDialog& dialog, QWidget* owner);

// Installs a presenter and returns the previous one; an empty one restores Qt's dialog.
FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter presenter);

} // namespace playlist
