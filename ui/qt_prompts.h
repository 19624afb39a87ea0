#pragma once
// Prompts shown as real Qt dialogs.

#include <QPointer>
#include <QWidget>

#include "core/prompts.h"

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void inform(const QString& text) override;
    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    bool warnOkCancel(const QString& text) override;
    int choose(const QString& text, const QStringList& buttons) override;
    QString openFile(const QString& startDir, const QString& filter) override;
    QString saveFile(const QString& startDir, const QString& filter,
                     const QString& proposedName) override;

    // "EXCEL file|*.xlsx;*.xls|(*.*)|*.*" -> "EXCEL file (*.xlsx *.xls);;(*.*) (*)"
    static QString qtFilter(const QString& filter);

private:
    QPointer<QWidget> owner_;
};
