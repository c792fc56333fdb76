#pragma once

#include "fetch/Capture.h"
#include "fetch/CaptureOnPort.h"
#include "fetch/Decoder.h"
#include "fetch/MemTableModel.h"
#include "serial/CPort.h"
#include "ui_uRZ8.h"
#include "upload/ImportFile.h"
#include "upload/Transfer.h"
#include "upload/WireTrace.h"

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>

// The main window: the send page, the hidden fetch parts, both ports, the
// wake-up timer and the state of the upload.
class TForm1 : public QWidget, public Ui::TForm1, public TUploadFlags, private TUploadHost {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    QTimer Timer1;
    TImportFile ImportFile;
    // How long a packet may go without an ACK before the transfer fails.
    std::chrono::milliseconds AckTimeout = DefaultAckTimeout;
    // The fetch's result tables, created closed and empty, and the grid's views of them.
    TMemTable tklasse;
    TMemTable ttider;
    TMemTableModel DataSource1;
    TMemTableModel DataSource2;
    // The pass whose times the decoder stores.
    int32_t PassNumber = 0;
    // Where the capture writes; tests point it elsewhere.
    std::string CaptureLogPath = "/tmp/rz8.log";
    // The fetch's capture; the decoder calls Capture.Flush() before it reads a running log.
    TCapture Capture{*this, [this] { sendacx(); }};
    // The capture on ComPort: opened by "Hent data", fed by ComPortRxChar.
    TCaptureOnPort CaptureSession{ComPort, Capture};
    // Declared last, so destroyed first: closing a port still runs pending deliveries,
    // whose handlers use the members above.
    TComPort ComPort;
    TComPort ComPort1;
    // Every byte of ComPort1 when RZ8_TRACE names a file, for support; none otherwise.
    std::unique_ptr<TWireTrace> Trace;

    void FormActivate(QObject *Sender);
    void FormClose(QObject *Sender);
    void SpeedButton4Click(QObject *Sender);
    void LMDButton1Click(QObject *Sender);
    void BitBtn2Click(QObject *Sender);
    void Label13Click(QObject *Sender);
    void Label9Click(QObject *Sender);
    void BitBtn1Click(QObject *Sender);
    void BitBtn3Click(QObject *Sender);
    void Button_OpenClick(QObject *Sender);
    void SpeedButton1Click(QObject *Sender);
    void SpeedButton3Click(QObject *Sender);
    void SpeedButton2Click(QObject *Sender);
    void ComPortAfterOpen(QObject *Sender);
    void ComPortAfterClose(QObject *Sender);
    void ComPortRxChar(QObject *Sender, int Count);
    void ComPort1RxChar(QObject *Sender, int Count);
    void Timer1Timer(QObject *Sender);

    void visklokke();
    void visdata();
    void klasse(const std::string &rest);
    void tid(const std::string &rest);
    void header(const std::string &rest);
    void pass(const std::string &rest);
    void navn(const std::string &rest);
    static std::string lagtid(int32_t value, int unit);
    void sendacx();
    void sendacx2();

    bool TransferRunning() const { return Transfer != nullptr; }
    bool CaptureRunning() const { return Capture.IsOpen(); }

private:
    void ConnectHandlers();
    void LoadPictures();
    void CloseCapture();
    void OpenTrace();

    // Binds the grid to one table's view.
    void ShowInGrid(TMemTableModel &source);

    void ShowStatus(const std::string &text) override;
    // Paints a status text that has not been painted yet.
    void PaintStatus();
    void ShowMessage(const std::string &text) override;
    void SetWakeTimer(bool enabled) override;
    bool LeaveRequested() const override { return Leaving; }

    TCaptureDecoder Decoder;
    TUploadTransfer *Transfer = nullptr;
    bool Leaving = false;
    // The status label holds a text it has not painted yet.
    bool StatusWaiting = false;
    bool Activated = false;
    // The frame width the window's width was last corrected for; the designed width is outer.
    int FrameWidth = 0;
};
