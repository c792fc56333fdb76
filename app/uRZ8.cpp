#include "app/uRZ8.h"

#include "app/Dialogs.h"
#include "app/ErrorDisplay.h"
#include "app/FormEvents.h"
#include "app/uabout.h"
#include "serial/CPortDiscovery.h"
#include "serial/CPortMonitor.h"
#include "serial/CPortStored.h"
#include "serial/SetupApi.h"
#include "upload/ImportLine.h"
#include "upload/Protocol.h"

#include <QApplication>
#include <QBitmap>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QSvgRenderer>
#include <cstdio>

namespace {

constexpr QPoint DesignedPosition(195, 108);
constexpr int ActivatedHeight = 415;
constexpr int StatusStripHeight = 24;

// A 16 by 16 glyph whose magenta background is drawn transparent.
QIcon Glyph(const QString &resource) {
    QPixmap pixmap(resource);
    pixmap.setMask(pixmap.createMaskFromColor(QColor(255, 0, 255)));
    return QIcon(pixmap);
}

QPixmap RenderSvg(const QString &resource, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(resource).render(&painter);
    return pixmap;
}

// Runs a handler from a Qt signal inside the exception boundary.
template <class Sender, class Signal, class Handler>
void On(Sender *sender, Signal signal, QObject *context, Handler handler) {
    QObject::connect(sender, signal, context,
                     [sender, handler] { Guarded([&] { handler(sender); }); });
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent), tklasse("tklasse", ClassTableFields()),
      ttider("ttider", TimesTableFields(), TimesTableKey), DataSource1(tklasse),
      DataSource2(ttider), Decoder(tklasse, ttider, PassNumber, [this](const std::string &text) {
          Panel2Caption->setText(QString::fromLatin1(text));
      }) {
    // Controls that set only a style (bold) start from the application font, so
    // the form's font is made the application's before the controls are built.
    QFont base("Liberation Sans");
    base.setPixelSize(11);
    base.setStretch(96);
    QApplication::setFont(base);
    setupUi(this);
    // The form opens where it was designed, not centred.
    move(DesignedPosition);
    PageControl1->tabBar()->hide();
    // The hidden tab row must not hold the keyboard: Tab cycles the send page's controls.
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_StyledBackground);
    QFont digits = AdvPanel1->font();
    digits.setPixelSize(42);
    for (QLabel *number : {AdvPanel1, AdvPanel7, AdvPanel2, AdvPanel3, AdvPanel4})
        number->setFont(digits);
    cbserieporter->setEditText("Ingen port funnet");
    Edit2->setCursorPosition(0);
    // The keyboard starts in the file field, first in the window's keyboard order.
    Edit2->setFocus();
    LoadPictures();
    DBGrid1->setModel(&DataSource1);
    // Grid rows one line of text high.
    DBGrid1->verticalHeader()->setMinimumSectionSize(1);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);

    SetCaptureStoredSettings(ComPort);
    SetStoredSettings(ComPort1);
    // The lamps outlive the ports (children go in ~QWidget): a lamp forgets a destroyed port.
    const struct {
        TComLed *Led;
        TLedKind Kind;
        TComLedSignal Signal;
    } lamps[] = {{ComLed1, lkGreenLight, lsConn},
                 {ComLed2, lkYellowLight, lsRx},
                 {ComLed3, lkBlueLight, lsTx}};
    for (const auto &lamp : lamps) {
        lamp.Led->BeginLoading();
        lamp.Led->SetKind(lamp.Kind);
        lamp.Led->SetLedSignal(lamp.Signal);
        lamp.Led->SetComPort(&ComPort1);
        lamp.Led->EndLoading();
    }
    Timer1.setInterval(1000);
    Timer1.setTimerType(Qt::PreciseTimer);
    ConnectHandlers();
    OpenTrace();
}

// A trace that cannot be made is told on standard error only: the upload works without it.
void TForm1::OpenTrace() {
    const QByteArray path = qgetenv("RZ8_TRACE");
    if (path.isEmpty())
        return;
    try {
        Trace = std::make_unique<TWireTrace>(path.toStdString());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "RZ8_TRACE=%s: %s\n", path.constData(), error.what());
        return;
    }
    Trace->Watch(ComPort1);
}

TForm1::~TForm1() {
    // The ports go before the form's members, so a capture left open is closed here: the
    // port first, then the log with its buffered tail. Nobody is left to show an error.
    try {
        if (CaptureRunning())
            CloseCapture();
    } catch (...) {
    }
}

void TForm1::LoadPictures() {
    Image1->setPixmap(RenderSvg(":/resources/image1.svg", QSize(511, 655)));
    LMDButton2->setIcon(Glyph(":/resources/folder_open.xpm"));
    LMDButton1->setIcon(Glyph(":/resources/refresh_page.xpm"));
    Button_Open->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
}

void TForm1::ConnectHandlers() {
    new TFormEvents(this, QEvent::WindowActivate, [this](QEvent *) { FormActivate(this); });
    // Without a window manager no activation is reported, so the first show counts as one.
    new TFormEvents(this, QEvent::Show, [this](QEvent *) {
        if (!Activated)
            FormActivate(this);
    });
    new TFormEvents(this, QEvent::Close, [this](QEvent *) { FormClose(this); });
    new TFormEvents(lbjobb, QEvent::Paint, [this](QEvent *) { StatusWaiting = false; });
    // The status strip is aligned to the bottom of the send page.
    new TFormEvents(TabSheet3, QEvent::Resize, [this](QEvent *) {
        AdvPanel6->setGeometry(0, TabSheet3->height() - StatusStripHeight, TabSheet3->width(),
                               StatusStripHeight);
    });
    // Panel2's caption is centred on the whole bar, under its buttons.
    new TFormEvents(Panel2, QEvent::Resize,
                    [this](QEvent *) { Panel2Caption->setGeometry(Panel2->rect()); });
    On(LMDButton2, &QToolButton::clicked, this, [this](QObject *s) { SpeedButton4Click(s); });
    On(LMDButton1, &QToolButton::clicked, this, [this](QObject *s) { LMDButton1Click(s); });
    On(AdvPanel5, &TClickLabel::Click, this, [this](QObject *s) { BitBtn2Click(s); });
    On(BitBtn2, &QPushButton::clicked, this, [this](QObject *s) { BitBtn2Click(s); });
    On(Label13, &TClickLabel::Click, this, [this](QObject *s) { Label13Click(s); });
    On(Label9, &TClickLabel::Click, this, [this](QObject *s) { Label9Click(s); });
    On(lbjobb, &TClickLabel::Click, this, [this](QObject *s) { Label9Click(s); });
    On(BitBtn1, &QPushButton::clicked, this, [this](QObject *s) { BitBtn1Click(s); });
    On(BitBtn3, &QPushButton::clicked, this, [this](QObject *s) { BitBtn3Click(s); });
    On(Button_Open, &QPushButton::clicked, this, [this](QObject *s) { Button_OpenClick(s); });
    On(SpeedButton1, &QToolButton::clicked, this, [this](QObject *s) { SpeedButton1Click(s); });
    On(SpeedButton3, &QToolButton::clicked, this, [this](QObject *s) { SpeedButton3Click(s); });
    On(SpeedButton2, &QToolButton::clicked, this, [this](QObject *s) { SpeedButton2Click(s); });
    On(&Timer1, &QTimer::timeout, this, [this](QObject *s) { Timer1Timer(s); });
    ComPort.OnAfterOpen = [this](QObject *s) { ComPortAfterOpen(s); };
    ComPort.OnAfterClose = [this](QObject *s) { ComPortAfterClose(s); };
    ComPort.OnRxChar = [this](QObject *s, int count) { ComPortRxChar(s, count); };
    ComPort1.OnRxChar = [this](QObject *s, int count) { ComPort1RxChar(s, count); };
    // A port plugged in while the program runs is discovered as by a press on refresh.
    new TPortMonitor([this] { Guarded([&] { LMDButton1Click(LMDButton1); }); }, this);
}

void TForm1::FormActivate(QObject *) {
    // Sizes are outer sizes, but the frame is known only once a window manager has framed
    // the window: the width the user sees is kept, less a frame that has appeared since.
    const QSize frame = frameGeometry().size() - size();
    Activated = true;
    resize(width() - (frame.width() - FrameWidth), ActivatedHeight - frame.height());
    FrameWidth = frame.width();
    AcquireSetupApi();
    visklokke();
}

void TForm1::FormClose(QObject *) {
    ReleaseSetupApi();
    // What a running capture has received is kept: its log is complete once the window is.
    if (CaptureRunning())
        CloseCapture();
    // A running transfer takes its ending before the program exits.
    Leaving = TransferRunning();
}

void TForm1::SpeedButton4Click(QObject *) {
    const auto file = Dialogs().OpenFile(this, "RZ7 / RZ8 import fil", "RZ7",
                                         "RZ7/RZ8 fil|*.RZ7|XML fil|*.xml|Alle filer|*.*");
    if (file)
        Edit2->setText(*file);
}

void TForm1::LMDButton1Click(QObject *) {
    visklokke();
}

void TForm1::BitBtn2Click(QObject *) {
    if (TransferRunning())
        return;
    TUploadTransfer transfer(ComPort1, *this, ImportFile, *this);
    transfer.AckTimeout = AckTimeout;
    transfer.Trace = Trace.get();
    if (Trace)
        Trace->Note("Send data: " + Edit2->text().toStdString() + " til " +
                    cbserieporter->currentText().toStdString());
    Transfer = &transfer;
    Leaving = false;
    try {
        transfer.Run(Edit2->text().toLocal8Bit().toStdString(),
                     cbserieporter->currentText().toLocal8Bit().toStdString());
    } catch (...) {
        Transfer = nullptr;
        // "Ferdig" is on screen before the error box.
        PaintStatus();
        throw;
    }
    Transfer = nullptr;
    PaintStatus();
}

void TForm1::Label13Click(QObject *) {
    if (AboutBox)
        Dialogs().ShowModal(AboutBox);
}

void TForm1::Label9Click(QObject *) {
    close();
}

void TForm1::BitBtn1Click(QObject *) {
    close();
}

void TForm1::BitBtn3Click(QObject *) {
    ComPort.OpenSetupDialog();
}

void TForm1::Button_OpenClick(QObject *) {
    if (ComPort.Connected())
        CloseCapture();
    else
        CaptureSession.Open(CaptureLogPath);
}

void TForm1::CloseCapture() {
    CaptureSession.Close();
}

// The fetch controls are never shown; their handlers are filled with the fetch function.
void TForm1::SpeedButton1Click(QObject *) {
    Decoder.Start();
    visdata();
}

void TForm1::SpeedButton3Click(QObject *) {
    ShowInGrid(DataSource1);
}

void TForm1::SpeedButton2Click(QObject *) {
    ShowInGrid(DataSource2);
}

void TForm1::ShowInGrid(TMemTableModel &source) {
    QItemSelectionModel *old = DBGrid1->selectionModel();
    DBGrid1->setModel(&source);
    // The view makes a selection model per model and leaves the old one to its caller.
    if (old && old != DBGrid1->selectionModel())
        delete old;
}

void TForm1::visdata() {
    // A running capture writes out what it holds first, and goes on.
    if (CaptureRunning())
        Capture.Flush();
    Decoder.visdata(CaptureLogPath);
}

void TForm1::klasse(const std::string &rest) {
    Decoder.klasse(rest);
}

void TForm1::tid(const std::string &rest) {
    Decoder.tid(rest);
}

void TForm1::header(const std::string &rest) {
    Decoder.header(rest);
}

void TForm1::pass(const std::string &rest) {
    Decoder.pass(rest);
}

void TForm1::navn(const std::string &rest) {
    Decoder.navn(rest);
}

std::string TForm1::lagtid(int32_t value, int unit) {
    return ::lagtid(value, unit);
}

void TForm1::ComPortAfterOpen(QObject *) {
    Button_Open->setText("Close");
}

void TForm1::ComPortAfterClose(QObject *) {
    if (Button_Open)
        Button_Open->setText("Hent data");
}

void TForm1::ComPortRxChar(QObject *, int Count) {
    try {
        CaptureSession.Receive(Count);
    } catch (...) {
        // Raised from here, the error would end the port's event thread without a word and
        // leave the port open, taking nothing. The capture has ended, keeping what the log
        // holds, and the error is shown once this delivery is over.
        const std::exception_ptr error = std::current_exception();
        QMetaObject::invokeMethod(
            this, [error] { Guarded([&] { std::rethrow_exception(error); }); },
            Qt::QueuedConnection);
    }
}

void TForm1::sendacx() {
    std::string ack;
    IntToAscii(ACK, ack);
    ComPort.WriteString(ack);
}

void TForm1::sendacx2() {
    std::string ack;
    IntToAscii(ACK, ack);
    ComPort1.WriteString(ack);
}

void TForm1::ComPort1RxChar(QObject *, int Count) {
    ReadAnswer(ComPort1, Count, *this, Trace.get());
}

void TForm1::Timer1Timer(QObject *) {
    // Timer1 runs only during a transfer's wake-up.
    if (Transfer)
        Transfer->WakeTick();
}

void TForm1::visklokke() {
    const TPortEnumeration present = EnumeratePresentPorts(SysfsRoot());
    if (present.Error)
        return;
    // Looked up by text and added in one go: a machine may have hundreds of ports.
    QHash<QString, int> listed;
    for (int i = cbserieporter->count() - 1; i >= 0; --i)
        listed.insert(cbserieporter->itemText(i), i);
    QStringList added;
    int selected = cbserieporter->currentIndex();
    for (const TPortEntry &entry : PortEntries(present.Ports)) {
        const QString text = QString::fromLatin1(entry.Text);
        auto found = listed.constFind(text);
        if (found == listed.cend()) {
            found = listed.insert(text, cbserieporter->count() + int(added.size()));
            added << text;
        }
        if (entry.Select)
            selected = *found;
    }
    cbserieporter->addItems(added);
    if (selected < 0 && cbserieporter->count() > 0)
        selected = 0;
    if (selected >= 0)
        cbserieporter->setCurrentIndex(selected);
}

// A count painted at once would sit between the clock's answer and the next packet, about
// half a millisecond a line. It is painted by the next events handled instead, which come
// once the packet is written: the blue lamp's, or the pause's. A text not painted by the
// time the next one comes (a line that made no packet) is painted first, so each one shows.
void TForm1::ShowStatus(const std::string &text) {
    PaintStatus();
    lbjobb->setText(QString::fromUtf8(text));
    lbjobb->update();
    StatusWaiting = true;
}

void TForm1::PaintStatus() {
    if (StatusWaiting)
        lbjobb->repaint();
}

void TForm1::ShowMessage(const std::string &text) {
    Dialogs().ShowMessage(this, QString::fromUtf8(text));
}

void TForm1::SetWakeTimer(bool enabled) {
    if (enabled)
        Timer1.start();
    else
        Timer1.stop();
}
