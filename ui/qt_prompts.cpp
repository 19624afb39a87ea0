#include "ui/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

// Messages separate a count from a list with a lone carriage return; a
// message box shows a line break only for a line feed.
QString shown(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

int run(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, shown(text), buttons, owner);
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

}  // namespace

void QtPrompts::inform(const QString& text) {
    run(owner_, QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
}

void QtPrompts::message(const QString& text) {
    run(owner_, QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok);
}

bool QtPrompts::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QString(), shown(text),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("OK(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Cancel(&N)"));
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QSize size = s->size();
        box.move((size.width() - 200) / 2, (size.height() - 200) / 2);
    }
    return box.exec() == QMessageBox::Yes;
}

int QtPrompts::choose(const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Question, QString(), shown(text), QMessageBox::NoButton, owner_);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> added;
    for (int i = 0; i < buttons.size(); ++i)
        added << box.addButton(buttons[i], i + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                   : QMessageBox::AcceptRole);
    if (!added.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
        box.setEscapeButton(added.last());
    }
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QSize size = s->size();
        box.move((size.width() - 200) / 2, (size.height() - 200) / 2);
    }
    box.exec();
    const int i = int(added.indexOf(box.clickedButton()));
    return i < 0 ? int(buttons.size()) - 1 : i;
}

bool QtPrompts::warnOkCancel(const QString& text) {
    return run(owner_, QMessageBox::Warning, QString(), text,
               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString QtPrompts::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out.join(QStringLiteral(";;"));
}

QString QtPrompts::openFile(const QString& startDir, const QString& filter) {
    return QFileDialog::getOpenFileName(owner_, QString(), startDir, qtFilter(filter));
}

QString QtPrompts::saveFile(const QString& startDir, const QString& filter,
                            const QString& proposedName) {
    // No question before overwriting: the file layouts replace a chosen file.
    return QFileDialog::getSaveFileName(owner_, QString(), QDir(startDir).filePath(proposedName),
                                        qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
