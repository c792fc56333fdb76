#pragma once

#include "app/Dialogs.h"

#include <QStringList>
#include <functional>

// Stands in for every modal dialog: records what would have been shown.
class TRecordingDialogs : public TDialogs {
public:
    TRecordingDialogs() { SetDialogs(this); }
    ~TRecordingDialogs() override { SetDialogs(nullptr); }

    void ShowMessage(QWidget *, const QString &text) override {
        Messages << text;
        if (OnMessage)
            OnMessage(text);
    }
    void ShowError(QWidget *, const QString &title, const QString &text) override {
        ErrorTitles << title;
        Errors << text;
        if (OnError)
            OnError(text);
    }
    std::optional<QString> OpenFile(QWidget *, const QString &title, const QString &suffix,
                                    const QString &filter) override {
        FileDialogs << (title + "|" + suffix + "|" + filter);
        return ChosenFile;
    }
    void ShowModal(QWidget *dialog) override { Modals << dialog; }

    QStringList Messages;
    QStringList Errors;
    QStringList ErrorTitles;
    QStringList FileDialogs;
    QList<QWidget *> Modals;
    std::optional<QString> ChosenFile;
    std::function<void(const QString &)> OnMessage;
    std::function<void(const QString &)> OnError;
};
