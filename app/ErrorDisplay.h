#pragma once

#include <QString>
#include <exception>
#include <stdexcept>
#include <utility>

class QWidget;

// An error that only signals a silent abort; the error display skips it.
class EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// The message box title: the program file name without folder and without
// everything from its first "."; first letter capital, the rest small.
QString ProgramTitle(const QString &programFile);

// The error's text with "." appended when its last character sorts above ".".
QString ErrorText(const QString &message);

// Shows an error that left an event handler.
void ShowException(const std::exception &error);

// Parent window of the error box (the main window once it exists).
void SetErrorParent(QWidget *parent);

// Runs an entry point that Qt calls; no exception may cross back into Qt.
template <class F> void Guarded(F &&handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const std::exception &error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::runtime_error("Unknown error"));
    }
}
