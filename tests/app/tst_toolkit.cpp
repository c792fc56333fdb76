// Qt's own file dialog as the program opens it: what it returns, that it leaves nothing
// under the user's configuration, and the language of Qt's own texts.

#include "app/Dialogs.h"
#include "app/Toolkit.h"

#include <QFileDialog>
#include <QtTest>

namespace {

// Every file below `folder`, as paths relative to it.
QStringList FilesIn(const QString &folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    return files;
}

} // namespace

class TestToolkit : public QObject {
    Q_OBJECT
private slots:
    void fileDialogWritesNothingUnderTheUserConfiguration_data();
    void fileDialogWritesNothingUnderTheUserConfiguration();
    void qtTextsInTheUsersLanguage_data();
    void qtTextsInTheUsersLanguage();

public:
    // The user's home, set before the application starts.
    QTemporaryDir *Home = nullptr;
};

void TestToolkit::fileDialogWritesNothingUnderTheUserConfiguration_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("file chosen") << true;
    QTest::newRow("cancelled") << false;
}

void TestToolkit::fileDialogWritesNothingUnderTheUserConfiguration() {
    QFETCH(bool, accept);
    TToolkitSetup toolkit;
    const QString chosen = Home->filePath("stevne.RZ7");
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString title;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    TDialogs dialogs;
    dialogs.NativeFileDialog = false;
    const auto result = dialogs.OpenFile(nullptr, "RZ7 / RZ8 import fil", "RZ7",
                                         "RZ7/RZ8 fil|*.RZ7|XML fil|*.xml|Alle filer|*.*");
    QCOMPARE(title, QString("RZ7 / RZ8 import fil"));
    QCOMPARE(filters, QStringList({"RZ7/RZ8 fil (*.RZ7)", "XML fil (*.xml)", "Alle filer (*.*)"}));
    QCOMPARE(result, accept ? std::optional<QString>(chosen) : std::nullopt);
    QCOMPARE(FilesIn(Home->path()), QStringList({"stevne.RZ7"}));
}

void TestToolkit::qtTextsInTheUsersLanguage_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("translated");
    QTest::newRow("Nynorsk") << "nn_NO" << true;
    QTest::newRow("Bokmål: the Nynorsk translation") << "nb_NO" << true;
    QTest::newRow("German") << "de_DE" << true;
    QTest::newRow("English") << "en_GB" << false;
    QTest::newRow("a language with no translation") << "is_IS" << false;
}

void TestToolkit::qtTextsInTheUsersLanguage() {
    QFETCH(QString, locale);
    QFETCH(bool, translated);
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_nn.qm"))
        QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
    TToolkitSetup toolkit;
    toolkit.Translate(QLocale(locale));
    const QString lookIn = QCoreApplication::translate("QFileDialog", "Look in:");
    QCOMPARE(lookIn != "Look in:", translated);
    if (locale.startsWith("n")) {
        QTranslator nynorsk;
        QVERIFY(nynorsk.load("qt_nn", QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QCOMPARE(lookIn, nynorsk.translate("QFileDialog", "Look in:"));
    }
}

int main(int argc, char *argv[]) {
    // A home of the test's own, so that anything written under it shows.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + "/.cache").toLocal8Bit());
    QApplication app(argc, argv);
    TestToolkit test;
    test.Home = &home;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolkit.moc"
