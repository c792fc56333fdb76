#pragma once

#include "ui_CPortSetup.h"

#include <QDialog>

// The dialog in which the user sets a port's name and line settings; OpenSetupDialog runs it.
// Its boxes list their entries while it is made, so a failing port listing is raised from
// the constructor.
class TComSetupFrm : public QDialog, public Ui::TComSetupFrm {
    Q_OBJECT

public:
    // The results of exec(); the close box and Escape give 0.
    enum : int { mrOk = 1, mrCancel = 2 };

    explicit TComSetupFrm(QWidget *parent = nullptr);
};
