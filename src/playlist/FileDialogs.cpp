#include "FileDialogs.h"

#include "OpenFilter.h"

#include <QFileDialog>

namespace playlist {
namespace {

bool showQtDialog(TFileDialog& dialog, QWidget* owner)
{
    QFileDialog qt(owner, dialog.Title, dialog.InitialDir);
    // Qt's own dialog: its patterns ignore case and the chosen filter is known.
    qt.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters = ToQtNameFilters(dialog.Filter);
    qt.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        qt.selectNameFilter(filters[dialog.FilterIndex - 1]);
    if (dialog.kind == TFileDialog::Save) {
        qt.setAcceptMode(QFileDialog::AcceptSave);
        qt.setFileMode(QFileDialog::AnyFile);
    } else {
        qt.setFileMode(dialog.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (!dialog.FileName.isEmpty())
        qt.selectFile(dialog.FileName);
    if (qt.exec() != QDialog::Accepted || qt.selectedFiles().isEmpty())
        return false;
    dialog.Files = qt.selectedFiles();
    dialog.FileName = dialog.Files.first();
    dialog.FilterIndex = int(filters.indexOf(qt.selectedNameFilter())) + 1;
    return true;
}

FileDialogPresenter& presenter()
{
    static FileDialogPresenter installed = showQtDialog;
    return installed;
}

} // namespace

bool ExecuteFileDialog(TFileDialog& dialog, QWidget* owner)
{
    return presenter()(dialog, owner);
}

FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter next)
{
    FileDialogPresenter previous = std::move(presenter());
    presenter() = next ? std::move(next) : FileDialogPresenter(showQtDialog);
    return previous;
}

} // namespace playlist
