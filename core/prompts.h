#pragma once
// Every message box and file dialog of the tool goes through this interface.
//
// The window installs QtPrompts (real Qt dialogs); tests install a recorder
// that logs each message and answers confirmations and file dialogs from a
// script, so no test ever blocks on a modal dialog; the command line installs
// one that prints. A call returns when the user has answered. Real dialogs
// keep the event loop running meanwhile, so replies that arrive while one is
// open are still dispatched.

#include <QString>
#include <QStringList>

class Prompts {
public:
    virtual ~Prompts() = default;

    // Plain information box: empty title, one OK button (login results,
    // "Receive timeout", success messages, check reports).
    virtual void inform(const QString& text) = 0;

    // The application's own message box, titled with its name, one OK button:
    // refusals, format errors and the short commands' answers ("Basic setting
    // error", "Number list data error", "Wrong format of the setting profile",
    // "'x' is not a valid integer value", "Historical data deleted").
    virtual void message(const QString& text) = 0;

    // Confirmation with empty caption and the buttons "OK(&Y)" / "Cancel(&N)"
    // (question icon). True for OK.
    virtual bool confirm(const QString& text) = 0;

    // Warning box with OK and Cancel (delete history). True for OK.
    virtual bool warnOkCancel(const QString& text) = 0;

    // A question with several answers, the last one being Cancel: the index
    // of the button pressed (Esc and closing the box answer the last). By
    // default a confirmation: OK is the first answer, Cancel the last.
    virtual int choose(const QString& text, const QStringList& buttons) {
        return confirm(text) ? 0 : int(buttons.size()) - 1;
    }

    // File dialogs. `filter` uses the "Description|*.a;*.b|(*.*)|*.*" form of
    // the file layouts; the implementation translates it. An empty result
    // means the user cancelled.
    virtual QString openFile(const QString& startDir, const QString& filter) = 0;
    virtual QString saveFile(const QString& startDir, const QString& filter,
                             const QString& proposedName) = 0;
};
