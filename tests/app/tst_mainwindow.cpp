#include "../serial/FakeSysfs.h"
#include "../serial/SetupAnswer.h"
#include "RecordingDialogs.h"
#include "app/ErrorDisplay.h"
#include "app/uRZ8.h"
#include "app/uabout.h"

#include <QtTest>

namespace {

// The hint a user sees over a widget: its own, or the nearest parent's.
QString HintOver(const QWidget *w) {
    for (; w; w = w->parentWidget())
        if (!w->toolTip().isEmpty())
            return w->toolTip();
    return {};
}

const QString FileHint = "Importfilen må være laget av Taktora versjon 1.6.3 eller senere\n"
                         "Filen er en XML tekst fil. ";
const QString StripHint = "Trykk her for å avslutte programmet";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startsWhereDesignedAndActivationFixesHeight();
    void firstShowCountsAsActivation();
    void sendPageShowsTheFiveStepsAndHidesTheRest();
    void hints_data();
    void hints();
    void keyboardOrder();
    void aboutBoxIsModalAndReused();
    void closingWays_data();
    void closingWays();
    void fileDialog();
    void errorTitle_data();
    void errorTitle();
    void errorDotRule_data();
    void errorDotRule();
    void errorDisplayShowsAllButSilentAborts();
    void setupButtonRunsTheDialogForTheFetchPort();
    void screenshots();

private:
    // No ports present: the list keeps its initial text.
    TFakeSysfs Sysfs;
    TForm1 *Form = nullptr;
    TAboutBox *About = nullptr;
};

void TestMainWindow::init() {
    Form = new TForm1;
    About = new TAboutBox;
    AboutBox = About;
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
}

void TestMainWindow::cleanup() {
    AboutBox = nullptr;
    delete About;
    delete Form;
}

void TestMainWindow::startsWhereDesignedAndActivationFixesHeight() {
    Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form));
    QCOMPARE(Form->frameGeometry().topLeft(), QPoint(195, 108));
    QCOMPARE(Form->frameGeometry().width(), 587);
    QTRY_COMPARE(Form->frameGeometry().height(), 415);

    Form->resize(640, 560);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(Form, &activate);
    QCOMPARE(Form->frameGeometry().height(), 415);
    QCOMPARE(Form->width(), 640);
}

void TestMainWindow::firstShowCountsAsActivation() {
    // Without a window manager no activation arrives: the show itself must fix the height.
    TForm1 form;
    QCOMPARE(form.height(), 487);
    form.show();
    QCOMPARE(form.frameGeometry().height(), 415);
    QCOMPARE(form.frameGeometry().width(), 587);
}

void TestMainWindow::sendPageShowsTheFiveStepsAndHidesTheRest() {
    QCOMPARE(Form->PageControl1->currentWidget(), Form->TabSheet3);
    QVERIFY(!Form->PageControl1->tabBar()->isVisible());
    QLabel *numbers[] = {Form->AdvPanel1, Form->AdvPanel7, Form->AdvPanel2, Form->AdvPanel3,
                         Form->AdvPanel4};
    const int tops[] = {0, 72, 144, 216, 288};
    for (int i = 0; i < 5; ++i) {
        QVERIFY(numbers[i]->isVisible());
        QCOMPARE(numbers[i]->text(), QString::number(i + 1));
        QCOMPARE(numbers[i]->geometry(), QRect(248, tops[i], 33, 65));
    }
    for (QLabel *l : {Form->Label2, Form->Label12, Form->Label3, Form->Label4, Form->Label8})
        QVERIFY2(l->isVisible(), qPrintable(l->objectName()));
    QCOMPARE(Form->Label2->text(), QString("Oppgi filnavn for importfilen"));
    QCOMPARE(Form->Label12->text(), QString("Finn rett serieport /USB adapter port"));
    QCOMPARE(Form->Label3->text(), QString("Trykk på knappen under for å sende data"));
    QCOMPARE(Form->Label4->text(), QString("Slå på RZ7/ RZ8 Klokken"));
    QCOMPARE(Form->Label8->text(), QString("Slå av og på igjen klokken"));
    QCOMPARE(Form->Edit2->text(), QString("Trykk på ikonet for å åpne importfilen --->"));
    QCOMPARE(Form->cbserieporter->currentText(), QString("Ingen port funnet"));
    QCOMPARE(Form->cbserieporter->count(), 0);
    QCOMPARE(Form->AdvPanel5->text(), QString("Send data"));
    QCOMPARE(Form->lbjobb->text(), QString("-"));
    QVERIFY(Form->AdvPanel6->isVisible());
    QCOMPARE(Form->AdvPanel6->geometry().bottom(), Form->TabSheet3->height() - 1);
    QCOMPARE(Form->AdvPanel6->height(), 24);

    for (QWidget *hidden : std::initializer_list<QWidget *>{
             Form->TabSheet1, Form->TabSheet2, Form->Panel1, Form->Panel2, Form->BitBtn2,
             Form->Button_Open, Form->DBGrid1})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    QVERIFY(!Form->Panel2->isEnabled());
    QVERIFY(!Form->Timer1.isActive());

    // No text of the send page is cut off by the panel it sits on.
    for (QLabel *l : Form->TabSheet3->findChildren<QLabel *>()) {
        if (l->text().isEmpty() || !l->isVisible())
            continue;
        const int textRight = l->x() + l->fontMetrics().horizontalAdvance(l->text());
        QVERIFY2(textRight <= l->parentWidget()->width(), qPrintable(l->objectName()));
    }
}

void TestMainWindow::hints_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("hint");
    QTest::newRow("step 1 panel") << "Panel4" << FileHint;
    QTest::newRow("step 1 edit box") << "Edit2" << FileHint;
    QTest::newRow("step 2 shows step 1's hint") << "cbserieporter" << FileHint;
    QTest::newRow("step 3 button") << "AdvPanel5"
                                   << "Trykk på knappen for å starte kommunikasjon med klokken.\n"
                                      "Du må starte kommunikasjonen før du starter klokken. ";
    QTest::newRow("step 4 none") << "Label5" << QString();
    QTest::newRow("step 5") << "Label11"
                            << "Når alle data er oversendt klokken, bør du selv teste om \n"
                               "data er rette. Før rennet starter slås klokken av og på igjen.\n"
                               "Dette for å sette rett arrangørtid. \n"
                               "Husk å ikke slette lagrede data når klokken omstartes";
    QTest::newRow("number panel none") << "AdvPanel1" << QString();
    QTest::newRow("picture none") << "Image1" << QString();
    QTest::newRow("Avslutt") << "Label9" << StripHint;
    QTest::newRow("Om") << "Label13" << StripHint;
    QTest::newRow("status label") << "lbjobb" << StripHint;
    QTest::newRow("strip itself none") << "AdvPanel6" << QString();
    QTest::newRow("rights notice none") << "Label7" << QString();
}

void TestMainWindow::hints() {
    QFETCH(QString, widget);
    QFETCH(QString, hint);
    const auto *w = Form->findChild<QWidget *>(widget);
    QVERIFY(w);
    QCOMPARE(HintOver(w), hint);
}

void TestMainWindow::keyboardOrder() {
    // Real key events through the window, from the focus the window starts with.
    Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form));
    const auto focus = [] {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                           : QString("(none)");
    };
    QStringList order{focus()};
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(Form->windowHandle(), Qt::Key_Tab);
        order << focus();
    }
    QCOMPARE(order, QStringList({"Edit2", "LMDButton2", "LMDButton1", "cbserieporter", "Edit2"}));
    QTest::keyClick(Form->windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focus(), QString("cbserieporter"));

    // Typed text goes where the focus is: the port box takes "A", the file box "B".
    Form->cbserieporter->clearEditText();
    Form->Edit2->clear();
    QTest::keyClick(Form->windowHandle(), 'A');
    QTest::keyClick(Form->windowHandle(), Qt::Key_Tab);
    QTest::keyClick(Form->windowHandle(), 'B');
    QCOMPARE(Form->cbserieporter->currentText(), QString("A"));
    QCOMPARE(Form->Edit2->text(), QString("B"));
}

void TestMainWindow::aboutBoxIsModalAndReused() {
    QList<QWidget *> shown;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            shown << modal;
            if (auto *box = qobject_cast<TAboutBox *>(modal))
                box->LMDButton1->click();
        });
        QTest::mouseClick(Form->Label13, Qt::LeftButton);
        QVERIFY(!About->isVisible());
    }
    QCOMPARE(shown, QList<QWidget *>({About, About}));
    QCOMPARE(About->windowTitle(), QString("Om"));
    QVERIFY(Form->isVisible());
}

void TestMainWindow::closingWays_data() {
    QTest::addColumn<QString>("label");
    QTest::newRow("Avslutt") << "Label9";
    QTest::newRow("status label") << "lbjobb";
}

void TestMainWindow::closingWays() {
    QFETCH(QString, label);
    QTest::mouseClick(Form->findChild<QWidget *>(label), Qt::LeftButton);
    QVERIFY(!Form->isVisible());
}

void TestMainWindow::fileDialog() {
    TRecordingDialogs dialogs;
    QTest::mouseClick(Form->LMDButton2, Qt::LeftButton);
    QCOMPARE(Form->Edit2->text(), QString("Trykk på ikonet for å åpne importfilen --->"));
    dialogs.ChosenFile = "/tmp/stevne.RZ7";
    QTest::mouseClick(Form->LMDButton2, Qt::LeftButton);
    QCOMPARE(Form->Edit2->text(), QString("/tmp/stevne.RZ7"));
    QCOMPARE(dialogs.FileDialogs.first(),
             QString("RZ7 / RZ8 import fil|RZ7|RZ7/RZ8 fil|*.RZ7|XML fil|*.xml|Alle filer|*.*"));
    QCOMPARE(NameFilters("RZ7/RZ8 fil|*.RZ7|XML fil|*.xml|Alle filer|*.*"),
             QStringList({"RZ7/RZ8 fil (*.RZ7)", "XML fil (*.xml)", "Alle filer (*.*)"}));
}

void TestMainWindow::errorTitle_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::newRow("this program") << "/usr/bin/rz8-filoverforing"
                                  << "Rz8-filoverforing";
    QTest::newRow("mixed case with extension") << "C:/x/DataTool.exe"
                                               << "Datatool";
    QTest::newRow("cut at first dot") << "/opt/a.b.c"
                                      << "A";
}

void TestMainWindow::errorTitle() {
    QFETCH(QString, file);
    QFETCH(QString, title);
    QCOMPARE(ProgramTitle(file), title);
}

void TestMainWindow::errorDotRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a dot") << "File not found"
                                       << "File not found.";
    QTest::newRow("digit gets a dot") << "linje 17"
                                      << "linje 17.";
    QTest::newRow("closing parenthesis none") << "Unable to open com port (win error code: 2)"
                                              << "Unable to open com port (win error code: 2)";
    QTest::newRow("dot none") << "Ferdig."
                              << "Ferdig.";
    QTest::newRow("quote none") << "ugyldig verdi 'x'"
                                << "ugyldig verdi 'x'";
    QTest::newRow("comma none") << "a,"
                                << "a,";
    QTest::newRow("empty") << ""
                           << "";
}

void TestMainWindow::errorDotRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorText(message), shown);
}

void TestMainWindow::errorDisplayShowsAllButSilentAborts() {
    TRecordingDialogs dialogs;
    ShowException(std::runtime_error("'x' is not a valid integer value"));
    ShowException(EAbort());
    Guarded([] { throw std::runtime_error("Klokken svarte ikke på linje 17"); });
    QCOMPARE(dialogs.Errors, QStringList({"'x' is not a valid integer value.",
                                          "Klokken svarte ikke på linje 17."}));
    QCOMPARE(dialogs.ErrorTitles.first(), QString("Tst_mainwindow"));
}

// The button sits on the hidden, disabled bar, so its signal stands in for a click: the
// handler runs the dialog, and its errors reach the error box.
void TestMainWindow::setupButtonRunsTheDialogForTheFetchPort() {
    TRecordingDialogs dialogs;
    QStringList shown;
    {
        TSetupAnswer answer([&](TComSetupFrm &dialog) { shown = ShownTexts(dialog); },
                            TClose::Cancel);
        emit Form->BitBtn3->clicked();
        QVERIFY(answer.Answered());
    }
    // The fetch port's stored name is not among the present ports.
    QCOMPARE(shown, QStringList({"", "4800", "8", "1", "None", "None"}));
    QCOMPARE(dialogs.Errors, QStringList());

    QVERIFY(QDir(Sysfs.Root() + "/class/tty").removeRecursively());
    emit Form->BitBtn3->clicked();
    QVERIFY(QDir(Sysfs.Root()).mkpath("class/tty"));
    QCOMPARE(dialogs.Errors, QStringList({"Registry error (win error code: 2)"}));
}

void TestMainWindow::screenshots() {
    Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form));
    QTRY_COMPARE(Form->frameGeometry().height(), 415);
    const QString dir = QStringLiteral(RZ8_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    QVERIFY(Form->grab().save(dir + "/mainwindow.png"));
    About->show();
    QVERIFY(QTest::qWaitForWindowExposed(About));
    QVERIFY(About->grab().save(dir + "/aboutbox.png"));
    About->hide();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
