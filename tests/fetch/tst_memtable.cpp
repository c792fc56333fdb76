#include "TableRows.h"
#include "fetch/MemTable.h"
#include "fetch/MemTableModel.h"
#include "fetch/ResultTables.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

// Nulls show as <null>.
QString Shown(const TFieldValue &value) {
    return ::Shown(value, "<null>");
}
QStringList Rows(const TMemTable &table) {
    return ::Rows(table, "<null>");
}

// An open start-number table holding the given start numbers, named by position.
struct TTimes {
    explicit TTimes(std::vector<int32_t> startNumbers = {}) {
        Table.Open();
        for (size_t i = 0; i < startNumbers.size(); ++i)
            Table.AppendRecord({Null, startNumbers[i], "row" + std::to_string(i)});
    }
    TMemTable Table{"ttider", TimesTableFields(), TimesTableKey};
};

const QString Nulls6 = "<null>|<null>|<null>|<null>|<null>|<null>";

} // namespace

class TestMemTable : public QObject {
    Q_OBJECT
private slots:
    void createdClosedAndEmpty();
    void idsCountFromZeroAndOpenKeepsThem();
    void beginEditOnEmptyTable();
    void nullMarkerLeavesFieldAndRestStayEmpty();
    void locate_data();
    void locate();
    void leavingEditState_data();
    void leavingEditState();
    void textIsCut_data();
    void textIsCut();
    void fieldByName_data();
    void fieldByName();
    void failedLookupLeavesPendingRowUnchanged();
    void indexFollowsAnEditedKey();
    void gridShowsTheTable();
    void gridTextReadsAsWindows1252();
};

void TestMemTable::createdClosedAndEmpty() {
    TMemTable table("tklasse", ClassTableFields());
    TMemTableModel grid(table);
    QCOMPARE(table.State(), dsInactive);
    QCOMPARE(grid.rowCount(), 0);
    QCOMPARE(grid.columnCount(), 0);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.AppendRecord({Null, 1}));
}

void TestMemTable::idsCountFromZeroAndOpenKeepsThem() {
    TTimes t({10, 11});
    QCOMPARE(Rows(t.Table), QStringList({"0|10|row0|" + Nulls6, "1|11|row1|" + Nulls6}));
    t.Table.Open();
    t.Table.AppendRecord({Null, 12});
    QCOMPARE(t.Table.RowCount(), 3);
    QCOMPARE(Shown(t.Table.Cell(2, 0)), "2");
    // An id given by hand moves the counter on.
    t.Table.AppendRecord({7, 13});
    t.Table.AppendRecord({Null, 14});
    QCOMPARE(Shown(t.Table.Cell(4, 0)), "8");
}

void TestMemTable::beginEditOnEmptyTable() {
    TTimes t;
    TMemTableModel grid(t.Table);
    t.Table.Edit();
    QCOMPARE(t.Table.State(), dsInsert);
    // The pending blank row is shown, with the id it would get, and marked.
    QCOMPARE(grid.rowCount(), 1);
    QCOMPARE(grid.data(grid.index(0, 0)), QVariant(0));
    QCOMPARE(grid.data(grid.index(0, 1)), QVariant());
    QCOMPARE(grid.headerData(0, Qt::Vertical), QVariant("*"));
    // Begin edit again changes nothing; Post of a row given no value stores nothing.
    t.Table.Edit();
    QCOMPARE(grid.rowCount(), 1);
    t.Table.Post();
    QCOMPARE(t.Table.State(), dsBrowse);
    QCOMPARE(grid.rowCount(), 0);

    t.Table.Edit();
    t.Table.AppendRecord({Null, 5});
    QCOMPARE(Rows(t.Table), QStringList({"0|5|<null>|" + Nulls6}));
    QCOMPARE(t.Table.State(), dsBrowse);
}

void TestMemTable::nullMarkerLeavesFieldAndRestStayEmpty() {
    TTimes t({1});
    t.Table.AppendRecord({Null, 12});
    QCOMPARE(Rows(t.Table).last(), "1|12|<null>|" + Nulls6);
}

void TestMemTable::locate_data() {
    QTest::addColumn<int>("startnr");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("recNo");
    QTest::newRow("first row") << 4 << true << 0;
    QTest::newRow("held twice: the earlier row") << 7 << true << 1;
    QTest::newRow("last row") << 9 << true << 3;
    QTest::newRow("held by no row: current row stays") << 8 << false << 3;
}

void TestMemTable::locate() {
    QFETCH(int, startnr);
    QFETCH(bool, found);
    QFETCH(int, recNo);
    TTimes t({4, 7, 7, 9});
    const QStringList before = Rows(t.Table);
    QCOMPARE(t.Table.Locate("startnr", startnr), found);
    QCOMPARE(t.Table.RecNo(), recNo);
    QCOMPARE(t.Table.State(), dsBrowse);
    QCOMPARE(Rows(t.Table), before);
    if (found)
        QCOMPARE(std::get<int32_t>(t.Table.FieldByName("startnr").Value()), startnr);
}

void TestMemTable::leavingEditState_data() {
    QTest::addColumn<bool>("emptyTable");
    QTest::addColumn<bool>("assign");
    QTest::addColumn<bool>("byAppend");
    QTest::addColumn<QStringList>("rows");
    const QString edited = "0|4|NY|" + Nulls6;
    const QString kept = "0|4|row0|" + Nulls6;
    const QString appended = "1|5|<null>|" + Nulls6;
    QTest::newRow("edited row, value given, then locate: posted")
        << false << true << false << QStringList{edited};
    QTest::newRow("edited row, nothing given, then locate: dropped")
        << false << false << false << QStringList{kept};
    QTest::newRow("edited row, value given, then append: posted")
        << false << true << true << QStringList{edited, appended};
    QTest::newRow("blank row, value given, then locate: stored")
        << true << true << false << QStringList{"0|<null>|NY|" + Nulls6};
    QTest::newRow("blank row, nothing given, then locate: gone")
        << true << false << false << QStringList{};
    QTest::newRow("blank row, nothing given, then append: its id is not used up")
        << true << false << true << QStringList{"0|5|<null>|" + Nulls6};
}

void TestMemTable::leavingEditState() {
    QFETCH(bool, emptyTable);
    QFETCH(bool, assign);
    QFETCH(bool, byAppend);
    QFETCH(QStringList, rows);
    TTimes t(emptyTable ? std::vector<int32_t>{} : std::vector<int32_t>{4});
    t.Table.Edit();
    QCOMPARE(t.Table.State(), emptyTable ? dsInsert : dsEdit);
    if (assign)
        t.Table.FieldByName("navn").SetAsString("NY");
    if (byAppend)
        t.Table.AppendRecord({Null, 5});
    else
        t.Table.Locate("startnr", 4);
    QCOMPARE(t.Table.State(), dsBrowse);
    QCOMPARE(Rows(t.Table), rows);
}

void TestMemTable::textIsCut_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QByteArray>("given");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("code 0 as third character")
        << "navn" << QByteArray("AB\0CD", 5) << QByteArray("AB");
    QTest::newRow("20 characters into a 15-character field")
        << "tidstr1" << QByteArray("abcdefghijklmnopqrst") << QByteArray("abcdefghijklmno");
    QTest::newRow("trailing blanks kept")
        << "navn" << QByteArray("ANNE    ") << QByteArray("ANNE    ");
}

void TestMemTable::textIsCut() {
    QFETCH(QString, field);
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, stored);
    const std::string text = given.toStdString();
    const std::string name = field.toStdString();
    // By assignment to the row in edit, and by position in an appended row.
    TTimes t({1});
    t.Table.Edit();
    t.Table.FieldByName(name).SetAsString(text);
    t.Table.Post();
    std::vector<TFieldValue> values(t.Table.Fields().size());
    values[1] = 2;
    int column = 0;
    while (t.Table.Fields()[size_t(column)].Name != name)
        ++column;
    values[size_t(column)] = text;
    t.Table.AppendRecord(values);
    for (int row : {0, 1})
        QCOMPARE(QByteArray::fromStdString(std::get<std::string>(t.Table.Cell(row, column))),
                 stored);
}

void TestMemTable::fieldByName_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("error");
    QTest::newRow("capitals") << "TIDSEK1"
                              << "tidsek1"
                              << "";
    QTest::newRow("mixed case") << "StartNr"
                                << "startnr"
                                << "";
    QTest::newRow("fourth pass") << "tidsek4"
                                 << ""
                                 << "ttider: Field 'tidsek4' not found";
    QTest::newRow("name kept as asked") << "TidSek0"
                                        << ""
                                        << "ttider: Field 'TidSek0' not found";
}

void TestMemTable::fieldByName() {
    QFETCH(QString, asked);
    QFETCH(QString, found);
    QFETCH(QString, error);
    TMemTable closed("ttider", TimesTableFields(), TimesTableKey);
    try {
        const TField &field = closed.FieldByName(asked.toStdString());
        QCOMPARE(QString::fromStdString(field.FieldName()), found);
        QVERIFY(error.isEmpty());
    } catch (const EDatabaseError &e) {
        QCOMPARE(QString::fromStdString(e.what()), error);
    }
}

void TestMemTable::failedLookupLeavesPendingRowUnchanged() {
    TTimes t({3});
    t.Table.Edit();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.Table.FieldByName("tidsek4"));
    QCOMPARE(t.Table.State(), dsEdit);
    t.Table.AppendRecord({Null, 4});
    QCOMPARE(Rows(t.Table), QStringList({"0|3|row0|" + Nulls6, "1|4|<null>|" + Nulls6}));
}

void TestMemTable::indexFollowsAnEditedKey() {
    TTimes t({5, 6, 5});
    QVERIFY(t.Table.Locate("startnr", 5));
    t.Table.Edit();
    t.Table.FieldByName("startnr").SetAsInteger(6);
    t.Table.Post();
    // Row 0 now holds 6 and comes before row 1; 5 is left only in row 2.
    QVERIFY(t.Table.Locate("startnr", 6));
    QCOMPARE(t.Table.RecNo(), 0);
    QVERIFY(t.Table.Locate("startnr", 5));
    QCOMPARE(t.Table.RecNo(), 2);
}

void TestMemTable::gridShowsTheTable() {
    TMemTable table("ttider", TimesTableFields(), TimesTableKey);
    TMemTableModel grid(table);
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.Open();
    QStringList titles;
    for (int c = 0; c < grid.columnCount(); ++c)
        titles << grid.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"id", "startnr", "navn", "tidsek1", "tidstr1", "tidsek2",
                                  "tidstr2", "tidsek3", "tidstr3"}));
    table.Edit();
    table.FieldByName("startnr").SetAsInteger(1);
    QCOMPARE(grid.data(grid.index(0, 1)), QVariant(1));
    table.Post();
    QCOMPARE(grid.headerData(0, Qt::Vertical), QVariant(""));
    table.AppendRecord({Null, 2, "B"});
    table.Edit();
    table.FieldByName("tidstr1").SetAsString("05:00");
    table.Locate("startnr", 1);
    QCOMPARE(grid.rowCount(), 2);
    QCOMPARE(grid.data(grid.index(1, 2)), QVariant("B"));
    QCOMPARE(grid.data(grid.index(1, 4)), QVariant("05:00"));
    QCOMPARE(grid.data(grid.index(0, 2)), QVariant());
}

void TestMemTable::gridTextReadsAsWindows1252() {
    TTimes t;
    TMemTableModel grid(t.Table);
    t.Table.AppendRecord({Null, 1, std::string("\xC5SE\x80\x81\x9F")});
    QCOMPARE(grid.data(grid.index(0, 2)).toString(), QString::fromUtf8("ÅSE€\u0081Ÿ"));
    // Stored as given.
    QCOMPARE(std::get<std::string>(t.Table.Cell(0, 2)), std::string("\xC5SE\x80\x81\x9F"));
}

QTEST_GUILESS_MAIN(TestMemTable)
#include "tst_memtable.moc"
