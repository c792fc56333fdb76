#include "serial/CPortCtl.h"
#include "serial/CPortErrorHandler.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <iterator>

namespace {

struct TStoredPictures {
    const char *On;
    const char *Off;
};

// By TLedKind, up to lkCustom, whose pictures the lamp's user supplies.
constexpr TStoredPictures KindPictures[] = {
    {"LEDREDON", "LEDREDOFF"},       {"LEDGREENON", "LEDGREENOFF"},   {"LEDBLUEON", "LEDBLUEOFF"},
    {"LEDYELLOWON", "LEDYELLOWOFF"}, {"LEDPURPLEON", "LEDPURPLEOFF"}, {"LEDBULBON", "LEDBULBOFF"},
};
static_assert(std::size(KindPictures) == lkCustom);

QPixmap StoredPicture(const char *name) {
    return QPixmap(QStringLiteral(":/resources/%1.xpm").arg(QLatin1String(name)));
}

// The picture with every pixel of its lower-left pixel's colour left out.
QPixmap Transparent(const QPixmap &picture) {
    const QImage image = picture.toImage();
    QPixmap drawn = picture;
    drawn.setMask(drawn.createMaskFromColor(QColor::fromRgba(image.pixel(0, image.height() - 1))));
    return drawn;
}

using TOnOffCallback = std::function<void(QObject *, bool)> TComLink::*;

TOnOffCallback OnOffCallback(TComLedSignal signal) {
    switch (signal) {
    case lsConn:
        return &TComLink::OnConn;
    case lsCTS:
        return &TComLink::OnCTSChange;
    case lsDSR:
        return &TComLink::OnDSRChange;
    case lsRLSD:
        return &TComLink::OnRLSDChange;
    case lsRx:
        return &TComLink::OnRx;
    case lsTx:
        return &TComLink::OnTx;
    case lsRing:
        break;
    }
    return nullptr;
}

// For the lamp's own entry points from Qt (ring timer, port destroyed): an error of OnChange
// must not cross back into Qt.
template <class F> void Shielded(F &&run) noexcept {
    try {
        run();
    } catch (const std::exception &error) {
        ShowComError(error);
    } catch (...) {
        ShowComError(std::runtime_error("Unknown error"));
    }
}

} // namespace

TComLed::TComLed(QWidget *parent) : QWidget(parent) {
    resize(25, 25);
    FRingTimer.setInterval(1000);
    connect(&FRingTimer, &QTimer::timeout, this, [this] {
        FRingTimer.stop();
        Shielded([this] { ChangeState(lsOff); });
    });
    SetLedSignal(lsConn);
    LoadPictures();
}

TComLed::~TComLed() {
    // Only the link is taken back: nobody is told about a lamp that is going away.
    if (FComPort) {
        disconnect(FPortDestroyed);
        FComPort->DetachLink(&FLink);
    }
}

void TComLed::SetComPort(TCustomComPort *value) {
    if (FComPort) {
        disconnect(FPortDestroyed);
        FComPort->DetachLink(&FLink);
        FComPort = nullptr;
    }
    if (!value) {
        ChangeState(lsOff);
        return;
    }
    FComPort = value;
    FPortDestroyed = connect(value, &QObject::destroyed, this, [this] { PortDestroyed(); });
    value->AttachLink(&FLink);
    if (value->Connected() && !FLoading)
        ChangeState(PortSignalState());
}

void TComLed::SetLedSignal(TComLedSignal value) {
    FLedSignal = value;
    FLink.OnConn = nullptr;
    FLink.OnCTSChange = nullptr;
    FLink.OnDSRChange = nullptr;
    FLink.OnRLSDChange = nullptr;
    FLink.OnRing = nullptr;
    FLink.OnTx = nullptr;
    FLink.OnRx = nullptr;
    if (value == lsRing)
        FLink.OnRing = [this](QObject *) { RingAnswer(); };
    else
        FLink.*OnOffCallback(value) = [this](QObject *, bool OnOff) { SignalAnswer(OnOff); };
}

void TComLed::SetKind(TLedKind value) {
    FKind = value;
    LoadPictures();
    update();
}

void TComLed::SetState(TLedState value) {
    if (FComPort)
        throw EComPort(CError_LedStateFailed);
    ChangeState(value);
}

void TComLed::SetGlyphOn(const QPixmap &value) {
    if (FKind != lkCustom)
        return;
    FGlyphOn = value;
    update();
}

void TComLed::SetGlyphOff(const QPixmap &value) {
    if (FKind != lkCustom)
        return;
    FGlyphOff = value;
    update();
}

void TComLed::ChangeState(TLedState value) {
    if (value == FState)
        return;
    FState = value;
    if (OnChange && !FLoading)
        OnChange(this, value);
    update();
}

void TComLed::SignalAnswer(bool OnOff) {
    ChangeState(OnOff ? lsOn : lsOff);
    // The caller may block the window thread (a write, an open): draw the change now.
    QCoreApplication::processEvents();
}

void TComLed::RingAnswer() {
    FRingTimer.start();
    ChangeState(lsOn);
}

TLedState TComLed::PortSignalState() {
    const auto line = [this](TModemSignal signal) {
        return FComPort->ModemSignals().Contains(signal) ? lsOn : lsOff;
    };
    switch (FLedSignal) {
    case lsConn:
        return lsOn;
    case lsCTS:
        return line(msCTS);
    case lsDSR:
        return line(msDSR);
    case lsRLSD:
        return line(msRLSD);
    case lsRing:
    case lsRx:
    case lsTx:
        break;
    }
    return lsOff;
}

void TComLed::PortDestroyed() {
    // Told from the port's QObject base, when its own members, the link list among them, are
    // gone already: the port is only forgotten. A window's ports die before its lamps.
    FComPort = nullptr;
    Shielded([this] { ChangeState(lsOff); });
}

void TComLed::LoadPictures() {
    if (FKind == lkCustom)
        return;
    FGlyphOn = StoredPicture(KindPictures[FKind].On);
    FGlyphOff = StoredPicture(KindPictures[FKind].Off);
}

void TComLed::paintEvent(QPaintEvent *) {
    if (FGlyphOn.isNull() || FGlyphOff.isNull())
        LoadPictures();
    const QPixmap &picture = FState == lsOn && isEnabled() ? FGlyphOn : FGlyphOff;
    if (picture.isNull())
        return;
    // Integer halves drop their fraction toward zero; a picture wider than the lamp is
    // clipped at its right and lower edges.
    const int left = std::max(0, (width() - picture.width()) / 2);
    const int top = std::max(0, (height() - picture.height()) / 2);
    QPainter(this).drawPixmap(left, top, Transparent(picture));
}
