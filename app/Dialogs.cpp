#include "app/Dialogs.h"

#include "app/ErrorDisplay.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
TDialogs RealDialogs;
TDialogs *Current = &RealDialogs;
} // namespace

QStringList NameFilters(const QString &filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    return filters;
}

TDialogs &Dialogs() {
    return *Current;
}

void SetDialogs(TDialogs *dialogs) {
    Current = dialogs ? dialogs : &RealDialogs;
}

void TDialogs::ShowMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, ProgramTitle(QCoreApplication::applicationFilePath()),
                    text, QMessageBox::Ok, parent);
    box.exec();
}

void TDialogs::ShowError(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> TDialogs::OpenFile(QWidget *parent, const QString &title,
                                          const QString &defaultSuffix, const QString &filter) {
    QFileDialog dialog(parent, title);
    dialog.setNameFilters(NameFilters(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !NativeFileDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void TDialogs::ShowModal(QWidget *dialog) {
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->exec();
}
