#include "app/ErrorDisplay.h"

#include "app/Dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> ErrorParent;

// Our messages are UTF-8; bytes from files that are not are shown as Latin-1.
QString FromMessage(const char *text) {
    const QByteArray bytes(text);
    QString s = QString::fromUtf8(bytes);
    if (s.contains(QChar::ReplacementCharacter))
        s = QString::fromLatin1(bytes);
    return s;
}
} // namespace

QString ProgramTitle(const QString &programFile) {
    QString name = QFileInfo(programFile).fileName();
    name = name.left(name.indexOf('.')).toLower();
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

QString ErrorText(const QString &message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

void SetErrorParent(QWidget *parent) {
    ErrorParent = parent;
}

void ShowException(const std::exception &error) {
    if (dynamic_cast<const EAbort *>(&error))
        return;
    Dialogs().ShowError(ErrorParent, ProgramTitle(QCoreApplication::applicationFilePath()),
                        ErrorText(FromMessage(error.what())));
}
