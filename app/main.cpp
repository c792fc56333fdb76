#include "app/ErrorDisplay.h"
#include "app/Toolkit.h"
#include "app/uRZ8.h"
#include "app/uabout.h"
#include "serial/CPortErrorHandler.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("rz8 help");
    QApplication::setApplicationVersion("1.0.0.0");
    QApplication::setDesktopFileName("rz8-filoverforing");
    QApplication::setWindowIcon(QIcon(":/resources/program_icon.svg"));
    TToolkitSetup toolkit;
    toolkit.Translate(QLocale::system());

    TForm1 form;
    SetErrorParent(&form);
    SetComErrorHandler(ShowException);
    TAboutBox about;
    AboutBox = &about;
    form.show();
    const int result = QApplication::exec();
    AboutBox = nullptr;
    return result;
}
