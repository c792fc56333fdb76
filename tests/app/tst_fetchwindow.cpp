#include "../serial/FakeSysfs.h"
#include "RecordingDialogs.h"
#include "app/uRZ8.h"

#include <QtTest>

namespace {

const QStringList WorkedExample{
    "2,67,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,3,10,30,0,1,30,0,0,1,3,40",
    "2,78,0,2,65,78,78,69,32,32,32,32,3,17",
    "2,84,0,14,30,5,3,201",
    "2,72,1,0,3,77",
    "2,80,0,0,0,0,0,2,1,44,3,99",
    "2,80,0,0,0,0,0,9,0,59,3,12"};

// The grid's rows as text, cells joined by "|".
QStringList GridRows(const QTableView *grid) {
    const QAbstractItemModel *model = grid->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join('|');
    }
    return rows;
}

QString GridTitles(const QTableView *grid) {
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    return titles.join('|');
}

} // namespace

class TestFetchWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tablesComeClosedWithTheWindow();
    void buttonsSwitchTheGrid();
    void updateDecodesTheLog();
    void errorsReachTheErrorBox_data();
    void errorsReachTheErrorBox();
    void screenshot();

private:
    void WriteLog(const QStringList &lines);

    TFakeSysfs Sysfs;
    QTemporaryDir Dir;
    TForm1 *Form = nullptr;
};

void TestFetchWindow::init() {
    Form = new TForm1;
    Form->CaptureLogPath = Dir.filePath("rz8.log").toStdString();
    Form->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form));
}

void TestFetchWindow::cleanup() {
    delete Form;
    QFile::remove(Dir.filePath("rz8.log"));
}

void TestFetchWindow::WriteLog(const QStringList &lines) {
    QFile file(QString::fromStdString(Form->CaptureLogPath));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines.join(" \r\n").toLatin1());
}

void TestFetchWindow::tablesComeClosedWithTheWindow() {
    QCOMPARE(Form->tklasse.Name(), "tklasse");
    QCOMPARE(Form->ttider.Name(), "ttider");
    QCOMPARE(Form->tklasse.State(), dsInactive);
    QCOMPARE(Form->ttider.State(), dsInactive);
    QCOMPARE(Form->DBGrid1->model(), &Form->DataSource1);
    QCOMPARE(Form->DBGrid1->model()->columnCount(), 0);
    QVERIFY(Form->PageControl1->currentWidget() != Form->TabSheet2);
    QVERIFY(!Form->Panel2->isVisible());
    QCOMPARE(Form->Panel2Caption->text(), "Panel2");
}

void TestFetchWindow::buttonsSwitchTheGrid() {
    Form->tklasse.Open();
    Form->ttider.Open();
    emit Form->SpeedButton2->clicked();
    QCOMPARE(Form->DBGrid1->model(), &Form->DataSource2);
    QCOMPARE(GridTitles(Form->DBGrid1),
             "id|startnr|navn|tidsek1|tidstr1|tidsek2|tidstr2|tidsek3|tidstr3");
    emit Form->SpeedButton3->clicked();
    QCOMPARE(Form->DBGrid1->model(), &Form->DataSource1);
    QCOMPARE(GridTitles(Form->DBGrid1), "id|fra|til|tid|intervall|parstart|sjekk");
    emit Form->SpeedButton3->clicked();
    QCOMPARE(Form->DBGrid1->model(), &Form->DataSource1);
}

void TestFetchWindow::updateDecodesTheLog() {
    TRecordingDialogs dialogs;
    WriteLog(WorkedExample);
    Form->PassNumber = 9;
    emit Form->SpeedButton1->clicked();
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(Form->PassNumber, 1);
    const QString sep(QChar::fromLatin1(SystemTimeSeparator()));
    QCOMPARE(Form->Panel2Caption->text(), QString("RZ8 tid: 14:30:05").replace(':', sep));
    QCOMPARE(GridRows(Form->DBGrid1),
             QStringList({QString("0|1|3|10:30:00|01:30|0|1").replace(':', sep)}));
    emit Form->SpeedButton2->clicked();
    QCOMPARE(GridRows(Form->DBGrid1),
             QStringList({"0|1|||||||", "1|2|ANNE    |300|05:00||||", "2|3|||||||"}));
}

void TestFetchWindow::errorsReachTheErrorBox_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    QTest::newRow("no log") << QStringList() << "File not found.";
    QTest::newRow("pass before a header")
        << QStringList{WorkedExample[0], WorkedExample[4]} << "ttider: Field 'tidsek0' not found.";
}

void TestFetchWindow::errorsReachTheErrorBox() {
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    TRecordingDialogs dialogs;
    if (!lines.isEmpty())
        WriteLog(lines);
    emit Form->SpeedButton1->clicked();
    QCOMPARE(dialogs.Errors, QStringList{error});
}

void TestFetchWindow::screenshot() {
    WriteLog(WorkedExample);
    emit Form->SpeedButton1->clicked();
    Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form));
    QTRY_COMPARE(Form->frameGeometry().height(), 415);
    // Only here: no operation of the program shows the fetch page.
    Form->PageControl1->setCurrentWidget(Form->TabSheet2);
    emit Form->SpeedButton2->clicked();
    const QString dir = QStringLiteral(RZ8_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    QVERIFY(Form->grab().save(dir + "/fetchpage.png"));
}

QTEST_MAIN(TestFetchWindow)
#include "tst_fetchwindow.moc"
