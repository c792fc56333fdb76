#pragma once

// Answers the setup dialog that OpenSetupDialog shows modally: from inside its exec(), the
// test looks at the dialog, picks entries as a user does and closes it one of the ways a
// user can.

#include "serial/CPortSetup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QtTest>
#include <functional>

enum class TClose { Ok, Enter, Cancel, CloseBox, Escape };
Q_DECLARE_METATYPE(TClose)

// Picks an entry by typing its text into the closed box, which selects the first entry that
// starts with it. Two picks in the same box must not follow within the keyboard interval.
inline void Pick(QComboBox *box, const QString &text) {
    QTest::keyClicks(box, text);
    QCOMPARE(box->currentText(), text);
}

// The texts the six boxes show, from the port name to the flow control.
inline QStringList ShownTexts(const TComSetupFrm &dialog) {
    QStringList texts;
    for (const QComboBox *box :
         {dialog.Combo1, dialog.Combo2, dialog.Combo3, dialog.Combo4, dialog.Combo5, dialog.Combo6})
        texts << box->currentText();
    return texts;
}

inline void CloseDialog(TComSetupFrm &dialog, TClose close) {
    switch (close) {
    case TClose::Ok:
        QTest::mouseClick(dialog.Button1, Qt::LeftButton);
        break;
    case TClose::Enter:
        QTest::keyClick(dialog.Combo3, Qt::Key_Return);
        break;
    case TClose::Cancel:
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
        break;
    case TClose::CloseBox:
        dialog.close();
        break;
    case TClose::Escape:
        QTest::keyClick(dialog.Combo1, Qt::Key_Escape);
        break;
    }
}

// Waits for the modal setup dialog, runs act on it and closes it. After a failed check the
// dialog is closed with nothing applied, so a test never hangs on it.
class TSetupAnswer {
public:
    TSetupAnswer(std::function<void(TComSetupFrm &)> act, TClose close)
        : FAct(std::move(act)), FClose(close) {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
        FTimer.start(10);
    }

    // The dialog was shown and answered.
    bool Answered() const { return FAnswered; }

private:
    void Look() {
        auto *dialog = qobject_cast<TComSetupFrm *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (FDeadline.hasExpired())
                FTimer.stop();
            return;
        }
        FTimer.stop();
        FAnswered = true;
        if (FAct)
            FAct(*dialog);
        if (QTest::currentTestFailed())
            dialog->done(0);
        else
            CloseDialog(*dialog, FClose);
    }

    std::function<void(TComSetupFrm &)> FAct;
    TClose FClose;
    QTimer FTimer;
    QDeadlineTimer FDeadline{10000};
    bool FAnswered = false;
};
