// The status lamp against a port on a pseudo-terminal: which notifications move it, what
// attaching and detaching do to its state, its pictures as drawn, and ports or lamps that
// go away first.

#include "LampLog.h"
#include "PortTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>
#include <memory>

namespace {

const QColor PanelColour(0x82, 0xD0, 0xFF);

// A lamp on a panel of a known colour, which shows through the lamp's transparent pixels.
struct LampOnPanel {
    LampOnPanel() {
        QPalette palette;
        palette.setColor(QPalette::Window, PanelColour);
        Panel.setPalette(palette);
        Panel.setAutoFillBackground(true);
        Panel.resize(100, 100);
    }
    QImage Drawn() { return Led.grab().toImage(); }

    QWidget Panel;
    TComLed Led{&Panel};
};

// The lamp's state at each of its paint events.
class PaintLog : public QObject {
public:
    explicit PaintLog(TComLed &led) : FLed(led) { led.installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            States << FLed.State();
        return false;
    }
    QList<TLedState> States;

private:
    TComLed &FLed;
};

QImage StoredPicture(const QString &name) {
    return QImage(":/resources/" + name + ".xpm").convertToFormat(QImage::Format_RGB32);
}

QImage Rgb(const QPixmap &picture) {
    return picture.toImage().convertToFormat(QImage::Format_RGB32);
}

// A 15 by 15 blue picture whose lower-left pixel, and one more, are green.
QPixmap BlueWithGreenKey() {
    QImage image(15, 15, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.setPixelColor(0, 14, Qt::green);
    image.setPixelColor(3, 3, Qt::green);
    return QPixmap::fromImage(image);
}

} // namespace

class TestComLed : public QObject {
    Q_OBJECT

private slots:
    void newLamp() {
        TComLed led;
        QCOMPARE(led.size(), QSize(25, 25));
        QCOMPARE(led.LedSignal(), lsConn);
        QCOMPARE(led.Kind(), lkRedLight);
        QCOMPARE(led.State(), lsOff);
        QCOMPARE(led.RingDuration(), 1000);
        QVERIFY(!led.ComPort());
        QCOMPARE(Rgb(led.GlyphOn()), StoredPicture("LEDREDON"));
        QCOMPARE(Rgb(led.GlyphOff()), StoredPicture("LEDREDOFF"));
    }

    // The pictures come from the lamp's own library, linked statically into this test.
    void storedPicturesPerKind_data() {
        QTest::addColumn<TLedKind>("kind");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("off");
        QTest::newRow("red") << lkRedLight << "LEDREDON"
                             << "LEDREDOFF";
        QTest::newRow("green") << lkGreenLight << "LEDGREENON"
                               << "LEDGREENOFF";
        QTest::newRow("blue") << lkBlueLight << "LEDBLUEON"
                              << "LEDBLUEOFF";
        QTest::newRow("yellow") << lkYellowLight << "LEDYELLOWON"
                                << "LEDYELLOWOFF";
        QTest::newRow("purple") << lkPurpleLight << "LEDPURPLEON"
                                << "LEDPURPLEOFF";
        QTest::newRow("bulb") << lkBulb << "LEDBULBON"
                              << "LEDBULBOFF";
        // Nothing is loaded for a custom lamp: it keeps what it has until it is given pictures.
        QTest::newRow("custom keeps the new lamp's red") << lkCustom << "LEDREDON"
                                                         << "LEDREDOFF";
    }
    void storedPicturesPerKind() {
        QFETCH(TLedKind, kind);
        QFETCH(QString, on);
        QFETCH(QString, off);
        TComLed led;
        led.SetKind(kind);
        QCOMPARE(led.GlyphOn().size(), QSize(15, 15));
        QCOMPARE(Rgb(led.GlyphOn()), StoredPicture(on));
        QCOMPARE(Rgb(led.GlyphOff()), StoredPicture(off));
        QVERIFY(StoredPicture(on) != StoredPicture(off));
    }

    void picturesAreAssignedOnlyToACustomLamp() {
        TComLed led;
        led.SetKind(lkGreenLight);
        led.SetGlyphOn(BlueWithGreenKey());
        led.SetGlyphOff(BlueWithGreenKey());
        QCOMPARE(Rgb(led.GlyphOn()), StoredPicture("LEDGREENON"));
        QCOMPARE(Rgb(led.GlyphOff()), StoredPicture("LEDGREENOFF"));

        led.SetKind(lkCustom);
        led.SetGlyphOn(BlueWithGreenKey());
        QCOMPARE(Rgb(led.GlyphOn()), Rgb(BlueWithGreenKey()));
        QCOMPARE(Rgb(led.GlyphOff()), StoredPicture("LEDGREENOFF"));

        led.SetKind(lkYellowLight);
        QCOMPARE(Rgb(led.GlyphOn()), StoredPicture("LEDYELLOWON"));
    }

    // Every pixel of the lower-left pixel's colour is transparent, wherever it lies.
    void pictureIsCentredAndKeyedOnItsLowerLeftPixel_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("25 by 25, as created") << QSize(25, 25) << QPoint(5, 5);
        QTest::newRow("half a pixel is dropped") << QSize(24, 26) << QPoint(4, 5);
        QTest::newRow("wide and low") << QSize(41, 18) << QPoint(13, 1);
        QTest::newRow("smaller than the picture") << QSize(11, 9) << QPoint(0, 0);
    }
    void pictureIsCentredAndKeyedOnItsLowerLeftPixel() {
        QFETCH(QSize, size);
        QFETCH(QPoint, topLeft);
        LampOnPanel lamp;
        lamp.Led.resize(size);
        lamp.Led.SetKind(lkCustom);
        lamp.Led.SetGlyphOn(BlueWithGreenKey());
        lamp.Led.SetGlyphOff(BlueWithGreenKey());
        const QImage drawn = lamp.Drawn();
        QRect picture;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                if (drawn.pixelColor(x, y) != PanelColour)
                    picture |= QRect(x, y, 1, 1);
        QCOMPARE(picture.topLeft(), topLeft);
        QCOMPARE(drawn.pixelColor(topLeft), QColor(Qt::blue));
        QCOMPARE(drawn.pixelColor(topLeft + QPoint(3, 3)), PanelColour);
        QCOMPARE(drawn.pixelColor(topLeft + QPoint(4, 4)), QColor(Qt::blue));
        if (picture.bottom() >= topLeft.y() + 14)
            QCOMPARE(drawn.pixelColor(topLeft + QPoint(0, 14)), PanelColour);
    }

    void disabledLampShowsItsDarkPicture_data() {
        QTest::addColumn<TLedState>("state");
        QTest::addColumn<bool>("lampEnabled");
        QTest::addColumn<bool>("panelEnabled");
        QTest::addColumn<bool>("lit");
        QTest::newRow("lit") << lsOn << true << true << true;
        QTest::newRow("dark") << lsOff << true << true << false;
        QTest::newRow("lit but disabled") << lsOn << false << true << false;
        QTest::newRow("lit in a disabled panel") << lsOn << true << false << false;
    }
    void disabledLampShowsItsDarkPicture() {
        QFETCH(TLedState, state);
        QFETCH(bool, lampEnabled);
        QFETCH(bool, panelEnabled);
        QFETCH(bool, lit);
        LampOnPanel lamp;
        lamp.Led.SetKind(lkGreenLight);
        lamp.Led.SetState(state);
        lamp.Led.setEnabled(lampEnabled);
        lamp.Panel.setEnabled(panelEnabled);
        QCOMPARE(lamp.Led.State(), state);
        // The lamp's middle, well inside its ring.
        const QImage expected = Rgb(lit ? lamp.Led.GlyphOn() : lamp.Led.GlyphOff());
        QCOMPARE(lamp.Drawn().pixel(12, 12), expected.pixel(7, 7));
        QCOMPARE(lamp.Drawn().pixelColor(5, 5), PanelColour);
    }

    void enabledChangeRepaints() {
        LampOnPanel lamp;
        lamp.Led.SetState(lsOn);
        lamp.Panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lamp.Panel));
        PaintLog paints(lamp.Led);
        lamp.Led.setEnabled(false);
        QTRY_VERIFY(!paints.States.isEmpty());
    }

    void stateIsSetByHandOnlyWithoutAPort() {
        PtyPort port;
        TComLed led;
        LampLog log(led);
        led.SetState(lsOn);
        led.SetState(lsOn);
        led.SetState(lsOff);
        QCOMPARE(log.States, QList<TLedState>({lsOn, lsOff}));
        QVERIFY(log.SenderWasLamp);

        led.SetComPort(&port.Port);
        const ComFailure failure = FailureOf([&] { led.SetState(lsOn); });
        QCOMPARE(failure.Code, 19);
        QCOMPARE(failure.Message, QString("Cannot change led state if ComPort is selected"));
        QCOMPARE(led.State(), lsOff);
        QCOMPARE(log.States.size(), 2);

        led.SetComPort(nullptr);
        led.SetState(lsOn);
        QCOMPARE(led.State(), lsOn);
    }

    // The port goes through open, received bytes, their read, a write and close; each lamp
    // moves only at its own signal's steps.
    void lampFollowsItsSignal_data() {
        QTest::addColumn<TComLedSignal>("signal");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("connection") << lsConn << QStringList{"open on", "close off"};
        QTest::newRow("received data") << lsRx << QStringList{"receive on", "read off"};
        QTest::newRow("transmit") << lsTx << QStringList{"write on", "write off"};
        // A pseudo-terminal has no modem lines, and so no ring either.
        QTest::newRow("CTS") << lsCTS << QStringList{};
        QTest::newRow("DSR") << lsDSR << QStringList{};
        QTest::newRow("RLSD") << lsRLSD << QStringList{};
        QTest::newRow("ring") << lsRing << QStringList{};
    }
    void lampFollowsItsSignal() {
        QFETCH(TComLedSignal, signal);
        QFETCH(QStringList, changes);
        PtyPort port;
        bool received = false;
        bool transmitEmpty = false;
        port.Port.OnRxChar = [&](QObject *, int) { received = true; };
        port.Port.OnTxEmpty = [&](QObject *) { transmitEmpty = true; };
        TComLed led;
        led.SetLedSignal(signal);
        led.SetComPort(&port.Port);
        LampLog log(led);
        QString step;
        QStringList seen;
        log.OnState = [&](TLedState state) { seen << step + (state == lsOn ? " on" : " off"); };

        step = "open";
        port.Port.Open();
        step = "receive";
        port.Pty.Write("xy");
        QTRY_VERIFY(received);
        step = "read";
        std::string bytes;
        QCOMPARE(port.Port.ReadString(bytes, 2), 2);
        step = "write";
        port.Port.WriteString("ab");
        QTRY_VERIFY(transmitEmpty);
        step = "close";
        port.Port.Close();
        QCOMPARE(seen, changes);
    }

    void attachingTakesAnOpenPortsSignal_data() {
        QTest::addColumn<TComLedSignal>("signal");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<TLedState>("before");
        QTest::addColumn<TLedState>("after");
        QTest::newRow("connection lamp, open port") << lsConn << true << lsOff << lsOn;
        QTest::newRow("connection lamp, closed port") << lsConn << false << lsOff << lsOff;
        QTest::newRow("lit lamp, closed port") << lsTx << false << lsOn << lsOn;
        QTest::newRow("receive lamp, open port") << lsRx << true << lsOn << lsOff;
        QTest::newRow("transmit lamp, open port") << lsTx << true << lsOn << lsOff;
        QTest::newRow("ring lamp, open port") << lsRing << true << lsOn << lsOff;
        // The line states as the port reads them: a pseudo-terminal's read as off.
        QTest::newRow("CTS lamp, open port") << lsCTS << true << lsOn << lsOff;
        QTest::newRow("DSR lamp, open port") << lsDSR << true << lsOn << lsOff;
        QTest::newRow("RLSD lamp, open port") << lsRLSD << true << lsOn << lsOff;
    }
    void attachingTakesAnOpenPortsSignal() {
        QFETCH(TComLedSignal, signal);
        QFETCH(bool, portOpen);
        QFETCH(TLedState, before);
        QFETCH(TLedState, after);
        PtyPort port;
        if (portOpen)
            port.Port.Open();
        TComLed led;
        led.SetLedSignal(signal);
        led.SetState(before);
        led.SetComPort(&port.Port);
        QCOMPARE(led.ComPort(), &port.Port);
        QCOMPARE(led.State(), after);
    }

    void changingPortsLeavesTheOldOne() {
        PtyPort first;
        PtyPort second;
        first.Port.Open();
        TComLed led;
        led.SetComPort(&first.Port);
        QCOMPARE(led.State(), lsOn);
        // A closed port leaves the state; the first port no longer reaches the lamp.
        led.SetComPort(&second.Port);
        QCOMPARE(led.State(), lsOn);
        first.Port.Close();
        QCOMPARE(led.State(), lsOn);
        second.Port.Open();
        second.Port.Close();
        QCOMPARE(led.State(), lsOff);

        second.Port.Open();
        QCOMPARE(led.State(), lsOn);
        led.SetComPort(nullptr);
        QCOMPARE(led.State(), lsOff);
        second.Port.Close();
        first.Port.Open();
        QCOMPARE(led.State(), lsOff);
    }

    // The lamp draws its change inside the notification, before the port goes on.
    void changeIsDrawnBeforeThePortGoesOn() {
        TComLink next;
        PtyPort port;
        LampOnPanel lamp;
        lamp.Panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lamp.Panel));
        lamp.Led.SetComPort(&port.Port);
        PaintLog paints(lamp.Led);
        QList<TLedState> paintedBeforeNext;
        next.OnConn = [&](QObject *, bool) { paintedBeforeNext = paints.States; };
        port.Port.AttachLink(&next);
        port.Port.Open();
        QVERIFY(!paintedBeforeNext.isEmpty());
        QCOMPARE(paintedBeforeNext.last(), lsOn);
        port.Port.Close();
        QCOMPARE(paintedBeforeNext.last(), lsOff);
        port.Port.DetachLink(&next);
    }

    void loadingChangesTheStateQuietly() {
        PtyPort port;
        port.Port.Open();
        TComLed led;
        led.SetLedSignal(lsTx);
        LampLog log(led);
        led.BeginLoading();
        led.SetState(lsOn);
        led.SetComPort(&port.Port);
        led.EndLoading();
        QCOMPARE(led.State(), lsOn);
        QVERIFY(log.States.isEmpty());
        led.SetComPort(nullptr);
        QCOMPARE(log.States, QList<TLedState>({lsOff}));
    }

    void ringKeepsTheLampLitForItsDuration() {
        PtyPort port;
        port.Port.Open();
        TComLed led;
        led.SetLedSignal(lsRing);
        led.SetRingDuration(50);
        led.SetComPort(&port.Port);
        LampLog log(led);
        QElapsedTimer sinceRing;
        sinceRing.start();
        // As the port's ring event does; a pseudo-terminal raises none.
        led.Link().OnRing(&port.Port);
        QCOMPARE(led.State(), lsOn);
        QTRY_COMPARE(led.State(), lsOff);
        QVERIFY2(sinceRing.elapsed() >= 45, qPrintable(QString::number(sinceRing.elapsed())));
        QCOMPARE(log.States, QList<TLedState>({lsOn, lsOff}));
    }

    void portDestroyedBeforeTheLamp_data() {
        QTest::addColumn<bool>("portOpen");
        QTest::newRow("open port") << true;
        QTest::newRow("closed port, lit lamp") << false;
    }
    void portDestroyedBeforeTheLamp() {
        QFETCH(bool, portOpen);
        auto port = std::make_unique<PtyPort>();
        if (portOpen)
            port->Port.Open();
        TComLed led;
        led.SetState(lsOn);
        led.SetComPort(&port->Port);
        QCOMPARE(led.State(), lsOn);
        LampLog log(led);
        port.reset();
        QVERIFY(!led.ComPort());
        QCOMPARE(log.States, QList<TLedState>({lsOff}));
        led.SetState(lsOn);
        QCOMPARE(led.State(), lsOn);
    }

    // The port must not call the link of a lamp that is gone (the sanitized build sees it).
    void lampDestroyedBeforeThePort() {
        auto port = std::make_unique<PtyPort>();
        auto led = std::make_unique<TComLed>();
        led->SetComPort(&port->Port);
        port->Port.Open();
        led.reset();
        port->Port.WriteString("a");
        port->Port.Close();
        port->Port.Open();
        port.reset();
    }
};

QTEST_MAIN(TestComLed)
#include "tst_comled.moc"
