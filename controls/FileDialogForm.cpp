#include "controls/FileDialogForm.h"

#include <QApplication>
#include <QFileDialog>

QStringList RunFileDialog(const TFileDialogRequest& Request, QWidget* Parent) {
    QFileDialog Dialog(Parent, QString::fromStdString(Request.Title), QString::fromStdString(Request.Folder),
                       QString::fromStdString(Request.Filter));
    Dialog.setAcceptMode(Request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (Request.Save) {
        Dialog.setFileMode(QFileDialog::AnyFile);
        Dialog.setOption(QFileDialog::DontConfirmOverwrite, !Request.ConfirmOverwrite);
    } else {
        Dialog.setFileMode(Request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    const QStringList Filters = QString::fromStdString(Request.Filter).split(";;", Qt::SkipEmptyParts);
    if (Request.FilterIndex >= 0 && Request.FilterIndex < Filters.size())
        Dialog.selectNameFilter(Filters[Request.FilterIndex]);
    if (!Request.DefaultSuffix.empty())
        Dialog.setDefaultSuffix(QString::fromStdString(Request.DefaultSuffix));
    if (!Request.FileName.empty()) Dialog.selectFile(QString::fromStdString(Request.FileName));
    return Dialog.exec() == QDialog::Accepted ? Dialog.selectedFiles() : QStringList();
}

void RegisterFileDialog() {
    SetFileDialog([](const TFileDialogRequest& Request) {
        std::vector<std::string> Paths;
        for (const QString& Path : RunFileDialog(Request, QApplication::activeWindow()))
            Paths.push_back(Path.toStdString());
        return Paths;
    });
}
