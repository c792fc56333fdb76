#include "app/ErrorDisplay.h"
#include "app/uRZ8.h"
#include "app/uabout.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("rz8 help");
    QApplication::setApplicationDisplayName("RZ8 Filoverføring");
    QApplication::setApplicationVersion("1.0.0.0");
    QApplication::setDesktopFileName("rz8-filoverforing");
    QApplication::setWindowIcon(QIcon(":/resources/program_icon.svg"));

    TForm1 form;
    SetErrorParent(&form);
    TAboutBox about;
    AboutBox = &about;
    form.show();
    const int result = QApplication::exec();
    AboutBox = nullptr;
    return result;
}
