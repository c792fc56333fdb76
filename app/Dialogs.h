#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// The one seam for modal dialogs, so tests can answer them without blocking.
class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A message box with a text and OK.
    virtual void ShowMessage(QWidget *parent, const QString &text);
    // The application's error box: stop icon, OK.
    virtual void ShowError(QWidget *parent, const QString &title, const QString &text);
    // An open-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> OpenFile(QWidget *parent, const QString &title,
                                            const QString &defaultSuffix, const QString &filter);
    // Shows a dialog modally and returns when it is closed.
    virtual void ShowModal(QWidget *dialog);

    // The desktop's own file dialog where it has one; Qt's own dialog otherwise.
    bool NativeFileDialog = true;
};

// Name filters from the "text|patterns|text|patterns" form, e.g. "XML fil (*.xml)".
QStringList NameFilters(const QString &filter);

TDialogs &Dialogs();
// Replaces the dialogs (nullptr restores the real ones); the caller keeps ownership.
void SetDialogs(TDialogs *dialogs);
