#include "settings/basic_inf.h"

#include "link/device_link.h"

void TBasicInf::readSettings() {
    if (link_.busy()) {
        link_.admit();
        return;
    }
    if (!feedback_.prompts.confirm(
            QStringLiteral("Read the GSM device basic parameters to PC software?")))
        return;
    startRead(Pages);
}

std::optional<QString> TBasicInf::passwordProblem(const SettingsSheet& sheet) {
    const QString& p = sheet.content(1);
    bool digits = p.size() == 4;
    for (QChar c : p) digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (digits) return std::nullopt;
    return QStringLiteral("%1: the password must be exactly 4 digits (0-9), or the device "
                          "could never be logged in to again")
        .arg(SettingsSheet::rowName(1));
}

bool TBasicInf::saveSettings() {
    return startWrite(Pages);
}

bool TBasicInf::prepareWrite() {
    if (auto problem = passwordProblem(sheet_)) {
        feedback_.prompts.message(*problem);
        return false;
    }
    // Check both pages before anything is sent, so that a cell of page 2
    // cannot leave the device with a new page 1 and an old page 2.
    settings::Page page;
    return encodeInto(1, page) && encodeInto(2, page);
}

void TBasicInf::ReadPage(int page) {
    sendRead(devaddr::settingsPage(page), QStringLiteral("Read settings"));
}

bool TBasicInf::WritePage(int page) {
    const bool built = page == 1 ? EncodeFirstPage() : EncodeSecondPage();
    if (!built) return false;
    sendWrite(devaddr::settingsPage(page), QStringLiteral("Save settings"));
    return true;
}

bool TBasicInf::encodeInto(int page, settings::Page& out) {
    if (auto error = settings::encodePage(page, sheet_, out)) {
        feedback_.prompts.message(*error);
        return false;
    }
    return true;
}

bool TBasicInf::EncodeFirstPage() {
    return encodeInto(1, Buffer);
}
bool TBasicInf::EncodeSecondPage() {
    return encodeInto(2, Buffer);
}

void TBasicInf::beforeWritePage(int page) {
    feedback_.progress.SetProgress(quint16(page * 50));
}

void TBasicInf::DecodePage() {
    if (Address == devaddr::settingsPage(1)) {
        feedback_.progress.SetProgress(25);
        feedback_.bar.setPanelText(QStringLiteral("The first page"));
        settings::decodePage(1, Buffer, sheet_, decodeState_);
        emit sheet_.choiceListsShown();
        feedback_.progress.SetProgress(40);
        feedback_.progress.SetProgress(50);
    } else if (Address == devaddr::settingsPage(2)) {
        feedback_.bar.setPanelText(QStringLiteral("The second page"));
        settings::decodePage(2, Buffer, sheet_, decodeState_);
        feedback_.progress.SetProgress(90);
        feedback_.progress.SetProgress(100);
        feedback_.bar.setPanelText(QString());
    }
    ReadNext();
}

QString TBasicInf::successText() const {
    return lastChainWasWrite() ? QStringLiteral("Basic setting saved success")
                               : QStringLiteral("Basic settings read to PC software success.");
}

QStringList TBasicInf::describeDifferences(int page, const QByteArray& written,
                                           const QByteArray& read) const {
    QStringList rows;
    bool outsideFields = false;
    QList<bool> covered(written.size(), false);
    for (const settings::Field& f : settings::layout()) {
        if (f.page != page) continue;
        for (int i = f.offset; i < f.offset + f.size && i < covered.size(); ++i) covered[i] = true;
        if (written.mid(f.offset, f.size) == read.mid(f.offset, f.size)) continue;
        const QString name = SettingsSheet::rowName(f.row);
        if (!rows.contains(name)) rows << name;
    }
    for (int i = 0; i < std::min(written.size(), read.size()); ++i)
        if (!covered[i] && written[i] != read[i]) outsideFields = true;
    if (outsideFields) rows << QStringLiteral("settings page %1: unused bytes").arg(page);
    return rows;
}
