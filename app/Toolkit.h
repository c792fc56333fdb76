#pragma once

#include <QLocale>
#include <QTemporaryDir>
#include <QTranslator>

// Qt's own parts of the program (its file dialog, its standard buttons), set up for one run.
class TToolkitSetup {
public:
    // Before any dialog exists: Qt's own dialogs keep their history with QSettings under the
    // user's configuration, and the program stores nothing between runs, so their settings
    // go into a folder that is removed with the process.
    TToolkitSetup();

    // Qt's own texts in the language of `locale`, where an installed translation has it.
    // Norwegian Bokmål has none: the Nynorsk one stands in. False when none was found.
    bool Translate(const QLocale &locale);

private:
    QTemporaryDir FSettingsDir;
    // Leaves the application when destroyed.
    QTranslator FTranslator;
};
