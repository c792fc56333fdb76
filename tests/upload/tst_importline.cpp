#include "upload/Errors.h"
#include "upload/ImportLine.h"

#include <QtTest>
#include <cerrno>
#include <cstring>

namespace {

QByteArray Bytes(const std::string &s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

// Everything the clock receives for one import line.
QByteArray Wire(const std::string &importLine) {
    const TWireLine wire = WireLine(importLine);
    return Bytes(wire.Lead + wire.Packet);
}

} // namespace

class TestImportLine : public QObject {
    Q_OBJECT
private slots:
    void linesToBytes_data();
    void linesToBytes();
    void intToAscii_data();
    void intToAscii();
    void strseparer_data();
    void strseparer();
    void conversionError_data();
    void conversionError();
    void quotedInMessage_data();
    void quotedInMessage();
    void tooLargeForTheClock_data();
    void tooLargeForTheClock();
    void numberForms_data();
    void numberForms();
    void fileErrors_data();
    void fileErrors();
};

void TestImportLine::linesToBytes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("class record") << QByteArray("<class>,67,1,2") << QByteArray("0243010203FA");
    QTest::newRow("closing field ends data")
        << QByteArray("<name>,1,2,3,</name>") << QByteArray("0201020303F8");
    QTest::newRow("record without data") << QByteArray("<class>") << QByteArray("0203FD");
    QTest::newRow("lone value not summed") << QByteArray("<class>,5") << QByteArray("020503FD");
    QTest::newRow("checksum zero is a byte")
        << QByteArray("<class>,0,255,254") << QByteArray("0200FFFE0300");
    QTest::newRow("sum reset at 256")
        << QByteArray("<class>,128,128,128") << QByteArray("0280808003FD");
    QTest::newRow("two-byte value summed whole")
        << QByteArray("<class>,1,300") << QByteArray("0201012C03D1");
    QTest::newRow("empty field ends data") << QByteArray("<class>,1,,2") << QByteArray("020103FD");
    QTest::newRow("fields trimmed") << QByteArray("<class>, 7 ,8") << QByteArray("02070803F5");
    QTest::newRow("closing root tag") << QByteArray("</RZ7>") << QByteArray("1803FD");
    QTest::newRow("other tag: no STX") << QByteArray("<other>,1,2") << QByteArray("010203FB");
    QTest::newRow("leading comma: no STX") << QByteArray(",1,2") << QByteArray("010203FB");
    QTest::newRow("<classes>") << QByteArray("<classes>") << QByteArray();
    QTest::newRow("<names>") << QByteArray("<names>") << QByteArray();
    QTest::newRow("</classes>") << QByteArray("</classes>") << QByteArray();
    QTest::newRow("</names>") << QByteArray("</names>") << QByteArray();
    QTest::newRow("empty line") << QByteArray() << QByteArray();
    // Negative values: the checksum keeps the sign of the truncated remainder.
    QTest::newRow("negative value") << QByteArray("<class>,1,-1") << QByteArray("02012D0103FE");
    QTest::newRow("negative sum below -3")
        << QByteArray("<class>,0,-10") << QByteArray("02002D0A030107");
    // 200 + 56 hits 256 and resets, so the sum ends at -300 instead of -44.
    QTest::newRow("reset at 256 with negatives")
        << QByteArray("<class>,0,200,56,-300") << QByteArray("0200C8382D012C030129");
    QTest::newRow("no reset past 256 with negatives")
        << QByteArray("<class>,0,200,57,-300") << QByteArray("0200C8392D012C030128");
    QTest::newRow("quoted value, byte after quote dropped")
        << QByteArray("<class>,\"5\"x7,8") << QByteArray("02050708 03EE");
    QTest::newRow("unclosed quote ends data")
        << QByteArray("<class>,5,\"7,8") << QByteArray("020503FD");
    QTest::newRow("quoted tag") << QByteArray("\"<class>\",1,2") << QByteArray("02010203FB");
}

void TestImportLine::linesToBytes() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, hex);
    QCOMPARE(Wire(line.toStdString()).toHex().toUpper(), QByteArray(hex).replace(' ', ""));
}

void TestImportLine::intToAscii_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("0") << 0 << QByteArray("00");
    QTest::newRow("255") << 255 << QByteArray("FF");
    QTest::newRow("256") << 256 << QByteArray("0100");
    QTest::newRow("65535") << 65535 << QByteArray("FFFF");
    QTest::newRow("65536") << 65536 << QByteArray("010000");
    QTest::newRow("16777215") << 16777215 << QByteArray("FFFFFF");
    QTest::newRow("-1") << -1 << QByteArray("2D01");
    QTest::newRow("-256") << -256 << QByteArray("2D0100");
    QTest::newRow("-16777215") << -16777215 << QByteArray("2DFFFFFF");
}

void TestImportLine::intToAscii() {
    QFETCH(int, value);
    QFETCH(QByteArray, hex);
    std::string out = "stale";
    IntToAscii(value, out);
    QCOMPARE(Bytes(out).toHex().toUpper(), hex);
}

void TestImportLine::strseparer_data() {
    QTest::addColumn<QByteArray>("lineIn");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("lineOut");
    QTest::newRow("two fields") << QByteArray("a,b") << QByteArray("a") << QByteArray("b");
    QTest::newRow("one field") << QByteArray("abc") << QByteArray("abc") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("leading comma") << QByteArray(",x") << QByteArray() << QByteArray("x");
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c") << QByteArray("a,b")
                                  << QByteArray("c");
    QTest::newRow("byte after quote dropped")
        << QByteArray("\"ab\"cd,ef") << QByteArray("ab") << QByteArray("d,ef");
    QTest::newRow("unclosed quote") << QByteArray("\"abc") << QByteArray() << QByteArray("abc");
    QTest::newRow("quote closes the line")
        << QByteArray("\"ab\"") << QByteArray("ab") << QByteArray();
}

void TestImportLine::strseparer() {
    QFETCH(QByteArray, lineIn);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, lineOut);
    std::string line = lineIn.toStdString();
    std::string f = "stale";
    ::strseparer(line, f);
    QCOMPARE(Bytes(f), field);
    QCOMPARE(Bytes(line), lineOut);
}

void TestImportLine::conversionError_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("letter") << QByteArray("<class>,x")
                            << QString("'x' is not a valid integer value");
    QTest::newRow("trimmed in message")
        << QByteArray("<class>,1, 2a ") << QString("'2a' is not a valid integer value");
    QTest::newRow("blank field") << QByteArray("<class>,1,  ,2")
                                 << QString("'' is not a valid integer value");
    QTest::newRow("above 32 bits")
        << QByteArray("<class>,2147483648") << QString("'2147483648' is not a valid integer value");
    QTest::newRow("sign alone") << QByteArray(",-") << QString("'-' is not a valid integer value");
}

void TestImportLine::conversionError() {
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    try {
        Wire(line.toStdString());
        QFAIL("no error raised");
    } catch (const EConvertError &e) {
        QCOMPARE(QString::fromStdString(e.what()), message);
    }
}

// Bytes, not text: the message must carry no NUL and stay one line.
void TestImportLine::quotedInMessage_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("quoted");
    const QByteArray forty(40, '7');
    QTest::newRow("40 bytes shown whole") << forty << forty;
    QTest::newRow("41 bytes cut to 40") << forty + "8" << forty + "\xE2\x80\xA6";
    QTest::newRow("10 MB cut to 40")
        << QByteArray(10'000'000, '9') << QByteArray(40, '9') + "\xE2\x80\xA6";
    QTest::newRow("NUL") << QByteArray("12\0"
                                       "3",
                                       4)
                         << QByteArray("12\\x003");
    QTest::newRow("line breaks and tab")
        << QByteArray("1\r\n2\t3") << QByteArray("1\\x0d\\x0a2\\x093");
    QTest::newRow("DEL") << QByteArray("1\x7f") << QByteArray("1\\x7f");
    QTest::newRow("control bytes past the cut are not shown") << forty + QByteArray("\0\0"
                                                                                    "5",
                                                                                    3)
                                                              << forty + "\xE2\x80\xA6";
    QTest::newRow("escaped bytes within the cut") << QByteArray(39, '1') + QByteArray("\0"
                                                                                      "2",
                                                                                      2)
                                                  << QByteArray(39, '1') + "\\x00\xE2\x80\xA6";
    // "ø" is two bytes; the cut does not split it.
    QTest::newRow("UTF-8 not split")
        << QByteArray(39, 'a') + "\xC3\xB8" + "b" << QByteArray(39, 'a') + "\xE2\x80\xA6";
    // A Latin-1 field is shown as Latin-1, where "…" would not read.
    QTest::newRow("Latin-1 cut with dots")
        << "\xF8" + forty << "\xF8" + QByteArray(39, '7') + "...";
    QTest::newRow("Latin-1 of ordinary length unchanged")
        << QByteArray("\xF8\xE6") << QByteArray("\xF8\xE6");
}

void TestImportLine::quotedInMessage() {
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, quoted);
    const QByteArray expected = "'" + quoted + "' is not a valid integer value";
    const std::string line = "<class>,1," + field.toStdString() + ",2";
    try {
        Wire(line);
        QFAIL("no error raised");
    } catch (const EConvertError &e) {
        QCOMPARE(QByteArray(e.what()), expected);
        QCOMPARE(std::strlen(e.what()), std::string(e.what()).size());
    }
    try {
        StrToInt(field.toStdString());
        QFAIL("no error raised");
    } catch (const EConvertError &e) {
        QCOMPARE(QByteArray(e.what()), expected);
    }
}

void TestImportLine::tooLargeForTheClock_data() {
    QTest::addColumn<int>("value");
    QTest::newRow("2^24") << (1 << 24);
    QTest::newRow("-2^24") << -(1 << 24);
    QTest::newRow("int max") << 2147483647;
    QTest::newRow("int min") << int(-2147483647 - 1);
}

void TestImportLine::tooLargeForTheClock() {
    QFETCH(int, value);
    std::string out;
    QVERIFY_THROWS_EXCEPTION(EConvertError, IntToAscii(value, out));
    const std::string line = "<class>,1," + std::to_string(value);
    QVERIFY_THROWS_EXCEPTION(EConvertError, Wire(line));
}

void TestImportLine::numberForms_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plus sign") << QByteArray("+12") << 12;
    QTest::newRow("minus sign") << QByteArray("-12") << -12;
    QTest::newRow("dollar hex") << QByteArray("$1F") << 31;
    QTest::newRow("x hex") << QByteArray("x1f") << 31;
    QTest::newRow("X hex") << QByteArray("X1F") << 31;
    QTest::newRow("0x hex") << QByteArray("0x1F") << 31;
    QTest::newRow("0X hex") << QByteArray("0X1f") << 31;
    QTest::newRow("negative hex") << QByteArray("-$10") << -16;
    QTest::newRow("full 32-bit hex") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("int min") << QByteArray("-2147483648") << int(-2147483647 - 1);
}

void TestImportLine::numberForms() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(StrToInt(text.toStdString()), value);
}

QTEST_APPLESS_MAIN(TestImportLine)
void TestImportLine::fileErrors_data() {
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << ENOENT << 2 << "File not found";
    QTest::newRow("name too long") << ENAMETOOLONG << 3 << "Invalid filename";
    QTest::newRow("no descriptors left") << EMFILE << 4 << "Too many open files";
    QTest::newRow("no permission") << EACCES << 5 << "File access denied";
    QTest::newRow("a folder") << EISDIR << 5 << "File access denied";
    QTest::newRow("disk full") << ENOSPC << 101 << "Disk full";
    // errno values that equal runtime codes must not take their texts.
    QTest::newRow("device error is no access error") << EIO << EIO << "I/O error 5";
    QTest::newRow("interrupted is no descriptor error") << EINTR << EINTR << "I/O error 4";
    QTest::newRow("errno 101 is no full disk") << ENETUNREACH << ENETUNREACH << "I/O error 101";
}

void TestImportLine::fileErrors() {
    QFETCH(int, err);
    QFETCH(int, code);
    QFETCH(QString, message);
    try {
        RaiseInOutError(err);
    } catch (const EInOutError &e) {
        QCOMPARE(e.Code, code);
        QCOMPARE(QString(e.what()), message);
        return;
    }
    QFAIL("no error raised");
}

#include "tst_importline.moc"
