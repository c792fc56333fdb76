#include "TableRows.h"
#include "fetch/Decoder.h"
#include "upload/Errors.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// Nulls show as -.
QString Shown(const TFieldValue &value) {
    return ::Shown(value, "-");
}
QStringList Rows(const TMemTable &table) {
    return ::Rows(table, "-");
}

QString ClassLine(int fra, int til, int h, int m, int s, int im, int is) {
    QStringList f{"2", "67"};
    for (int i = 0; i < 16; ++i)
        f << "0";
    for (int v : {fra >> 8, fra & 255, til >> 8, til & 255, h, m, s, im, is, 0, 0, 1, 3, 40})
        f << QString::number(v);
    return f.join(',');
}

QString PassLine(int startnr, int seconds) {
    return QString("2,80,0,0,0,0,%1,%2,%3,%4,3,99")
        .arg(startnr >> 8)
        .arg(startnr & 255)
        .arg(seconds >> 8)
        .arg(seconds & 255);
}

const QString Header = "2,72,1,0,3,77";
const QString Clock = "2,84,0,14,30,5,3,201";

const QStringList WorkedExample{
    "2,67,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,3,10,30,0,1,30,0,0,1,3,40",
    "2,78,0,2,65,78,78,69,32,32,32,32,3,17",
    Clock,
    Header,
    "2,80,0,0,0,0,0,2,1,44,3,99",
    "2,80,0,0,0,0,0,9,0,59,3,12"};

// Both tables, the window's pass number and caption, and a log in a private folder.
struct TFixture {
    TFixture() {
        Decoder.TimeSeparator = ':';
        Path = Dir.filePath("rz8.log").toStdString();
    }
    // Lines as the capture writes them: a blank and CR LF after each but the last.
    void WriteLog(const QStringList &lines) {
        QFile file(QString::fromStdString(Path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines.join(" \r\n").toLatin1());
    }
    // One run as "Oppdater data" starts it; the error's text, or "" when none.
    QString Run() {
        try {
            Decoder.Start();
            Decoder.visdata(Path);
        } catch (const std::exception &e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }
    QString Run(const QStringList &lines) {
        WriteLog(lines);
        return Run();
    }

    TMemTable tklasse{"tklasse", ClassTableFields()};
    TMemTable ttider{"ttider", TimesTableFields(), TimesTableKey};
    int32_t PassNumber = -5;
    QString Caption = "Panel2";
    TCaptureDecoder Decoder{tklasse, ttider, PassNumber, [this](const std::string &text) {
                                Caption = QString::fromStdString(text);
                            }};
    QTemporaryDir Dir;
    std::string Path;
};

const QString Empty6 = "-|-|-|-|-|-";

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void timesShowTheSystemSeparator();
    void lagtid_data();
    void lagtid();
    void errorsEndTheRun_data();
    void errorsEndTheRun();
    void missingLog();
    void emptyLogLeavesPendingRows();
    void notRecords_data();
    void notRecords();
    void classRanges_data();
    void classRanges();
    void threePassesFillTheirFields();
    void passesBeforeAHeaderOrAfterTheThird_data();
    void passesBeforeAHeaderOrAfterTheThird();
    void nameEndsAtCodeZero();
    void twoRunsOverTheSameLog();
};

void TestDecoder::workedExample() {
    TFixture f;
    QCOMPARE(f.Run(WorkedExample), QString());
    QCOMPARE(Rows(f.tklasse), QStringList({"0|1|3|10:30:00|01:30|0|1"}));
    QCOMPARE(Rows(f.ttider),
             QStringList({"0|1|-|" + Empty6, "1|2|ANNE    |300|05:00|-|-|-|-", "2|3|-|" + Empty6}));
    QCOMPARE(f.Caption, "RZ8 tid: 14:30:05");
    QCOMPARE(f.PassNumber, 1);
    QCOMPARE(f.tklasse.State(), dsBrowse);
    QCOMPARE(f.ttider.State(), dsBrowse);
}

void TestDecoder::timesShowTheSystemSeparator() {
    TFixture f;
    f.Decoder.TimeSeparator = '.';
    QCOMPARE(f.Run(WorkedExample), QString());
    QCOMPARE(Rows(f.tklasse), QStringList({"0|1|3|10.30.00|01.30|0|1"}));
    QCOMPARE(f.Caption, "RZ8 tid: 14.30.05");
    // A pass time keeps its colon.
    QCOMPARE(Shown(f.ttider.Cell(1, 4)), "05:00");
}

void TestDecoder::lagtid_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("text");
    const struct {
        int value;
        const char *text;
    } seconds[] = {{0, "00:00"},        {5, "00:05"},        {65, "01:05"},
                   {600, "10:00"},      {3599, "59:59"},     {3600, " 1:00:00"},
                   {3725, " 1:02:05"},  {35999, " 9:59:59"}, {36000, "10:00:00"},
                   {65535, "18:12:15"}, {360000, "10:00:00"}};
    for (const auto &row : seconds)
        QTest::addRow("%d s", row.value) << row.value << 0 << row.text;
    QTest::newRow("65535 ms") << 65535 << 1 << "01:05";
    QTest::newRow("999 ms: remainder dropped") << 999 << 1 << "00:00";
    QTest::newRow("unit 2 reads seconds") << 65 << 2 << "01:05";
}

void TestDecoder::lagtid() {
    QFETCH(int, value);
    QFETCH(int, unit);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(::lagtid(value, unit)), text);
}

void TestDecoder::errorsEndTheRun_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("classes");
    QTest::addColumn<int>("startNumbers");
    QTest::addColumn<QString>("caption");
    // Every log starts with a good class (1 to 2) and ends with one that is never reached.
    const QString good = ClassLine(1, 2, 8, 0, 0, 0, 30);
    const QString late = ClassLine(20, 29, 9, 0, 0, 1, 0);
    auto log = [&](const QString &bad) { return QStringList{good, Clock, bad, late}; };
    const QString clock = "RZ8 tid: 14:30:05";
    QString shortClass = ClassLine(5, 6, 8, 0, 0, 0, 30);
    shortClass.chop(QString(",0,1,3,40").size());
    QTest::newRow("class record cut short: last field with its blank")
        << log(shortClass) << "'0 ' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("class record with an empty field")
        << log(ClassLine(5, 6, 8, 0, 0, 0, 30).replace(",0,0,1,3,40", ",0,,1,3,40"))
        << "'' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("class start hour 24") << log(ClassLine(5, 6, 24, 0, 0, 0, 30))
                                         << "Invalid argument to time encode" << 1 << 2 << clock;
    QTest::newRow("class start second 60") << log(ClassLine(5, 6, 8, 0, 60, 0, 30))
                                           << "Invalid argument to time encode" << 1 << 2 << clock;
    QTest::newRow("class interval minutes 60")
        << log(ClassLine(5, 6, 8, 0, 0, 60, 30)) << "Invalid argument to time encode" << 1 << 2
        << clock;
    QTest::newRow("clock minute 60: caption stays")
        << log("2,84,0,15,60,0,3,1") << "Invalid argument to time encode" << 1 << 2 << clock;
    QTest::newRow("clock hour 24")
        << log("84,0,24,0,0,3,1") << "Invalid argument to time encode" << 1 << 2 << clock;
    QTest::newRow("clock record cut short")
        << log("2,84,0,15,3") << "'3 ' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("pass record with an empty field")
        << log("2,80,0,0,,0,0,1,0,5,3,1") << "'' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("header with a letter")
        << log("2,72,1,x,3,77") << "'x' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("name record cut short")
        << log("2,78,0,1,65,66") << "'66 ' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("pass record cut short")
        << log("2,80,0,0,0,0,0,1,0") << "'0 ' is not a valid integer value" << 1 << 2 << clock;
    QTest::newRow("a leading blank is no integer")
        << log("2,80,0,0,0,0,0, 1,0,5,3,1") << "' 1' is not a valid integer value" << 1 << 2
        << clock;
}

void TestDecoder::errorsEndTheRun() {
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    QFETCH(int, classes);
    QFETCH(int, startNumbers);
    QFETCH(QString, caption);
    TFixture f;
    QCOMPARE(f.Run(lines), error);
    QCOMPARE(f.tklasse.RowCount(), classes);
    QCOMPARE(f.ttider.RowCount(), startNumbers);
    QCOMPARE(f.Caption, caption);
    // What the good lines stored is untouched by the bad record.
    QCOMPARE(Rows(f.ttider), QStringList({"0|1|-|" + Empty6, "1|2|-|" + Empty6}));
}

void TestDecoder::missingLog() {
    TFixture f;
    QCOMPARE(f.Run(), "File not found");
    QVERIFY_THROWS_EXCEPTION(EInOutError, f.Decoder.visdata(f.Path));
    // Started anyway: both tables hold their pending blank row.
    QCOMPARE(f.tklasse.State(), dsInsert);
    QCOMPARE(f.ttider.State(), dsInsert);
    QCOMPARE(f.PassNumber, 0);
}

void TestDecoder::emptyLogLeavesPendingRows() {
    TFixture f;
    QCOMPARE(f.Run(QStringList{}), QString());
    for (const TMemTable *table : {&f.tklasse, &f.ttider}) {
        QCOMPARE(table->State(), dsInsert);
        QCOMPARE(table->RowCount(), 1);
    }
}

void TestDecoder::notRecords_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("empty line") << "";
    QTest::newRow("a blank") << " ";
    QTest::newRow("start byte alone") << "2";
    QTest::newRow("unknown type") << "2,99,0,14,30,5,3,201";
    QTest::newRow("type with a blank") << "2,84 ,0,14,30,5,3,201";
    QTest::newRow("second field not a type") << "2,2,84,0,14,30,5,3,201";
    QTest::newRow("first field neither 2 nor a type") << "3,84,0,14,30,5,3,201";
    QTest::newRow("type as a letter") << "2,T,0,14,30,5,3,201";
    QTest::newRow("pass for a start number not in the table, pass 0") << "2,80,0,0,0,0,0,9,0,5,3,1";
    QTest::newRow("name for a start number not in the table") << "2,78,0,9,65,66,67,68,0,0,0,0,3,1";
}

void TestDecoder::notRecords() {
    QFETCH(QString, line);
    TFixture f;
    QCOMPARE(f.Run({ClassLine(1, 1, 8, 0, 0, 0, 30), line, "84,0,14,30,5,3,201"}), QString());
    QCOMPARE(Rows(f.ttider), QStringList({"0|1|-|" + Empty6}));
    QCOMPARE(f.PassNumber, 0);
    // The line after it is still decoded, and a type directly at the start counts.
    QCOMPARE(f.Caption, "RZ8 tid: 14:30:05");
}

void TestDecoder::classRanges_data() {
    QTest::addColumn<int>("fra");
    QTest::addColumn<int>("til");
    QTest::addColumn<QList<int>>("startNumbers");
    QTest::newRow("til below fra: class row only") << 5 << 4 << QList<int>{};
    QTest::newRow("fra equal to til: one") << 7 << 7 << QList<int>{7};
    QTest::newRow("across the high byte") << 255 << 257 << QList<int>{255, 256, 257};
    QTest::newRow("the last start number") << 65535 << 65535 << QList<int>{65535};
    // Fields above a byte: only start numbers that fit in two bytes get rows.
    QTest::newRow("til past the last start number") << 65534 << 70000 << QList<int>{65534, 65535};
    QTest::newRow("til at the 32-bit limit") << 65535 << INT32_MAX << QList<int>{65535};
    QTest::newRow("fra below 0") << -2 << 1 << QList<int>{0, 1};
}

void TestDecoder::classRanges() {
    QFETCH(int, fra);
    QFETCH(int, til);
    QFETCH(QList<int>, startNumbers);
    TFixture f;
    // Extra bytes after the layout are not read.
    QCOMPARE(f.Run({ClassLine(fra, til, 23, 59, 59, 59, 59) + ",7,x,"}), QString());
    QCOMPARE(Rows(f.tklasse),
             QStringList({QString("0|%1|%2|23:59:59|59:59|0|1").arg(fra).arg(til)}));
    // With no start number ttider keeps the pending blank row of the start.
    const int rows = f.ttider.RowCount() - (f.ttider.State() == dsInsert ? 1 : 0);
    QList<int> stored;
    for (int r = 0; r < rows; ++r) {
        QCOMPARE(std::get<int32_t>(f.ttider.Cell(r, 0)), r);
        stored << std::get<int32_t>(f.ttider.Cell(r, 1));
    }
    QCOMPARE(stored, startNumbers);
}

void TestDecoder::threePassesFillTheirFields() {
    TFixture f;
    QCOMPARE(f.Run({ClassLine(6, 8, 8, 0, 0, 0, 30), Header, PassLine(7, 3725), Header,
                    PassLine(7, 65), Header, PassLine(7, 36000) + ",1,2,3"}),
             QString());
    QCOMPARE(Rows(f.ttider).at(1), "1|7|-|3725| 1:02:05|65|01:05|36000|10:00:00");
    QCOMPARE(f.PassNumber, 3);
}

void TestDecoder::passesBeforeAHeaderOrAfterTheThird_data() {
    QTest::addColumn<int>("headers");
    QTest::addColumn<QString>("error");
    QTest::newRow("no header") << 0 << "ttider: Field 'tidsek0' not found";
    QTest::newRow("fourth header") << 4 << "ttider: Field 'tidsek4' not found";
}

void TestDecoder::passesBeforeAHeaderOrAfterTheThird() {
    QFETCH(int, headers);
    QFETCH(QString, error);
    TFixture f;
    QStringList lines{ClassLine(7, 7, 8, 0, 0, 0, 30)};
    for (int i = 0; i < headers; ++i)
        lines << Header;
    // A start number not in the table is skipped before the lookup.
    lines << PassLine(9, 5) << PassLine(7, 5) << ClassLine(8, 8, 8, 0, 0, 0, 30);
    QCOMPARE(f.Run(lines), error);
    QCOMPARE(Rows(f.ttider), QStringList({"0|7|-|" + Empty6}));
    QCOMPARE(f.tklasse.RowCount(), 1);
}

void TestDecoder::nameEndsAtCodeZero() {
    TFixture f;
    QCOMPARE(f.Run({ClassLine(1, 1, 8, 0, 0, 0, 30), "2,78,0,1,65,66,0,68,69,70,71,72,3,1"}),
             QString());
    QCOMPARE(Shown(f.ttider.Cell(0, 2)), "AB");
}

void TestDecoder::twoRunsOverTheSameLog() {
    TFixture f;
    f.WriteLog(WorkedExample);
    QCOMPARE(f.Run(), QString());
    QCOMPARE(f.Run(), QString());
    QCOMPARE(f.PassNumber, 1);
    QCOMPARE(Rows(f.tklasse),
             QStringList({"0|1|3|10:30:00|01:30|0|1", "1|1|3|10:30:00|01:30|0|1"}));
    QCOMPARE(Rows(f.ttider),
             QStringList({"0|1|-|" + Empty6, "1|2|ANNE    |300|05:00|-|-|-|-", "2|3|-|" + Empty6,
                          "3|1|-|" + Empty6, "4|2|-|" + Empty6, "5|3|-|" + Empty6}));
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
