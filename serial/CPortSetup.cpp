#include "serial/CPortSetup.h"

#include "serial/CPort.h"

#include <QGuiApplication>
#include <QScreen>

TComSetupFrm::TComSetupFrm(QWidget *parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    connect(Button1, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TCustomComPort::OpenSetupDialog() {
    // On the stack: gone on every way out, before an error reaches the caller.
    TComSetupFrm dialog;
    TComComboBox *const boxes[] = {dialog.Combo1, dialog.Combo2, dialog.Combo3,
                                   dialog.Combo4, dialog.Combo5, dialog.Combo6};
    for (TComComboBox *box : boxes)
        box->SetComPort(this);
    for (TComComboBox *box : boxes)
        box->LoadFromPort();
    if (dialog.exec() != TComSetupFrm::mrOk)
        return;
    // A new name reopens an open port at once; the line settings follow once, at the end.
    BeginSettingsUpdate();
    try {
        for (TComComboBox *box : boxes)
            box->ApplyToPort();
    } catch (...) {
        // Later changes and opens must apply again; the first error is the one to report.
        try {
            EndSettingsUpdate();
        } catch (...) {
        }
        throw;
    }
    EndSettingsUpdate();
}
