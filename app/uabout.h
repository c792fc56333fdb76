#pragma once

#include "ui_uabout.h"

#include <QDialog>

// The about box: made once at start, shown modally by "Om", hidden again.
class TAboutBox;
// The about box made at start-up (none before).
extern TAboutBox *AboutBox;

class TAboutBox : public QDialog, public Ui::TAboutBox {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    void LMDButton1Click(QObject *Sender);
};
