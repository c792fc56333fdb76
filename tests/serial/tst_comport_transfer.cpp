// WriteString and ReadString over a pseudo-terminal, with the link notifications around
// them, the write time limit, and what Close leaves behind.

#include "PortRecorder.h"
#include "PortTestSupport.h"

#include <QtTest>
#include <memory>

class TestComPortTransfer : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPort> FRig;
    std::unique_ptr<PortRecorder> FRecorder;
    PtyPair *FPty = nullptr;
    TComPort *FPort = nullptr;

private slots:
    void init() {
        FRig = std::make_unique<PtyPort>();
        FPty = &FRig->Pty;
        FPort = &FRig->Port;
        FPort->Open();
        FRecorder = std::make_unique<PortRecorder>(*FPort);
    }
    void cleanup() {
        FRecorder.reset();
        FRig.reset();
    }

    void bytesPassBothWays_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray every(256, 0);
        for (int i = 0; i < 256; ++i)
            every[i] = char(i);
        QTest::newRow("one byte") << QByteArray("\x18", 1);
        QTest::newRow("clock control bytes") << QByteArray("\x02\x03\x06\x15\x18", 5);
        QTest::newRow("every byte value") << every;
        QTest::newRow("a long packet") << every.repeated(4);
    }
    void bytesPassBothWays() {
        QFETCH(QByteArray, bytes);
        const std::string data = bytes.toStdString();
        QCOMPARE(FPort->WriteString(data), int(data.size()));
        QCOMPARE(FPty->Read(data.size()), data);

        FPty->Write(data);
        QVERIFY(FPty->WaitSlaveInputQueue(int(data.size())));
        QCOMPARE(FPort->InputQueueCount(), int(data.size()));
        std::string received;
        QCOMPARE(FPort->ReadString(received, int(data.size()) + 10), int(data.size()));
        QCOMPARE(received, data);
    }

    void partialReadLeavesTheRest() {
        FPty->Write("abcdef");
        QVERIFY(FPty->WaitSlaveInputQueue(6));
        std::string received;
        QCOMPARE(FPort->ReadString(received, 4), 4);
        QCOMPARE(received, std::string("abcd"));
        QCOMPARE(FPort->InputQueueCount(), 2);
        QCOMPARE(FRecorder->Only({"link:Rx"}), QStringList()); // queue not empty yet
        QCOMPARE(FPort->ReadString(received, 4), 2);
        QCOMPARE(received, std::string("ef"));
        QCOMPARE(FRecorder->Only({"link:Rx"}), QStringList({"link:Rx 0"}));
    }

    void writeNotifiesLinksAndTransmitEmptyEndsIt() {
        QCOMPARE(FPort->WriteString("ping"), 4);
        QCOMPARE(FRecorder->Log, QStringList({"link:Tx 1", "link:TxBuf ping"}));
        QTRY_COMPARE_WITH_TIMEOUT(FRecorder->Log.size(), 5, 5000);
        QCOMPARE(FRecorder->Log.mid(2), QStringList({"link:Tx 0", "link:TxEmpty", "TxEmpty"}));
    }

    void nothingToMove_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("empty write") << "write" << QStringList();
        QTest::newRow("read of 0 bytes") << "read 0" << QStringList();
        QTest::newRow("read with nothing there") << "read 10" << QStringList({"link:Rx 0"});
    }
    void nothingToMove() {
        QFETCH(QString, call);
        QFETCH(QStringList, links);
        std::string s = "old";
        if (call == "write") {
            QCOMPARE(FPort->WriteString(""), 0);
        } else {
            QCOMPARE(FPort->ReadString(s, call == "read 0" ? 0 : 10), 0);
            QCOMPARE(s, std::string());
        }
        QCOMPARE(FRecorder->Log, links);
        QCoreApplication::processEvents();
        QCOMPARE(FRecorder->Log, links); // no transmit-empty either
        QCOMPARE(FPty->MasterInputQueue(), 0);
    }

    void writeStopsAtItsTimeLimit() {
        // Nobody reads the master: the pty stops taking bytes after some kilobytes.
        FPort->Timeouts().SetWriteTotalMultiplier(0);
        FPort->Timeouts().SetWriteTotalConstant(100);
        const std::string big(256 * 1024, 'x');
        const int written = FPort->WriteString(big);
        QVERIFY(written > 0);
        QVERIFY(written < int(big.size()));
        QVERIFY(FPort->Connected());
        QCOMPARE(FRecorder->Only({"link:TxBuf"}).size(), 1);
        QCOMPARE(FPty->Read(size_t(written)).size(), size_t(written));
    }

    void closeDropsUnreadInput() {
        FPty->Write("stale");
        QVERIFY(FPty->WaitSlaveInputQueue(5));
        FPort->Close();
        QCOMPARE(FPty->SlaveInputQueue(), 0);
        FPort->Open();
        QCOMPARE(FPort->InputQueueCount(), 0);
    }

    void closedPortFailsTransfers() {
        FPort->Close();
        std::string s;
        QCOMPARE(FailureOf([&] { FPort->WriteString("x"); }).Code, 2);
        QCOMPARE(FailureOf([&] { FPort->ReadString(s, 1); }).Code, 3);
        QCOMPARE(FailureOf([&] { FPort->InputQueueCount(); }).Code, 10);
        QCOMPARE(FailureOf([&] { FPort->LineErrors(); }).Code, 10);
        QCOMPARE(FailureOf([&] { FPort->ModemSignals(); }).Code, 11);
        QCOMPARE(FailureOf([&] { FPort->AbortTransfers(); }).Code, 5);
    }
};

QTEST_GUILESS_MAIN(TestComPortTransfer)
#include "tst_comport_transfer.moc"
