#pragma once
// Prompts for tests: records every message box and file dialog and answers
// confirmations and file dialogs from a script. Nothing ever blocks.

#include <QQueue>
#include <QString>
#include <QStringList>

#include "core/prompts.h"

class RecordingPrompts : public Prompts {
public:
    struct Shown {
        QString kind;      // "inform", "message", "confirm", "warn", "open", "save"
        QString text;      // message text, or the dialog's filter
        QString dir;       // file dialogs: start folder
        QString proposed;  // save dialog: proposed name
    };

    QList<Shown> shown;
    QQueue<bool> answers;       // confirm / warnOkCancel; empty queue answers true
    QQueue<QString> fileNames;  // open / save; empty queue answers "" (cancel)
    QQueue<int> choices;        // choose; empty queue answers 0 (the first button)

    // Called while a box is "open" (after it was recorded, before it returns),
    // to let a test run the event loop as a real modal box would.
    std::function<void()> whileOpen;

    void inform(const QString& text) override { record("inform", text); }
    void message(const QString& text) override { record("message", text); }
    bool confirm(const QString& text) override {
        record("confirm", text);
        return answers.isEmpty() ? true : answers.dequeue();
    }
    bool warnOkCancel(const QString& text) override {
        record("warn", text);
        return answers.isEmpty() ? true : answers.dequeue();
    }
    int choose(const QString& text, const QStringList&) override {
        record("choose", text);
        return choices.isEmpty() ? 0 : choices.dequeue();
    }
    QString openFile(const QString& startDir, const QString& filter) override {
        shown.append({"open", filter, startDir, {}});
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString saveFile(const QString& startDir, const QString& filter,
                     const QString& proposed) override {
        shown.append({"save", filter, startDir, proposed});
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }

    // Texts of the message boxes (inform and message), in order.
    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown)
            if (s.kind == "inform" || s.kind == "message" || s.kind == "confirm" ||
                s.kind == "warn" || s.kind == "choose")
                out << s.text;
        return out;
    }
    QString last() const { return shown.isEmpty() ? QString() : shown.last().text; }
    int count(const QString& text) const { return texts().count(text); }
    void clear() { shown.clear(); }

private:
    void record(const char* kind, const QString& text) {
        shown.append({kind, text, {}, {}});
        if (whileOpen) whileOpen();
    }
};
