#include "app/Toolkit.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>

TToolkitSetup::TToolkitSetup() {
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, FSettingsDir.path());
}

bool TToolkitSetup::Translate(const QLocale &locale) {
    QCoreApplication::removeTranslator(&FTranslator);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const bool bokmal = locale.language() == QLocale::NorwegianBokmal;
    const bool found =
        bokmal ? FTranslator.load("qt_nn", folder) : FTranslator.load(locale, "qt", "_", folder);
    if (found)
        QCoreApplication::installTranslator(&FTranslator);
    return found;
}
