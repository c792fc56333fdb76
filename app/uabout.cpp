#include "app/uabout.h"

#include "app/ErrorDisplay.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

TAboutBox *AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    ProgramIcon->setPixmap(QIcon(":/resources/about_icon.svg").pixmap(32, 32));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    connect(LMDButton1, &QPushButton::clicked, this,
            [this] { Guarded([this] { LMDButton1Click(LMDButton1); }); });
}

void TAboutBox::LMDButton1Click(QObject *) {
    close();
}
