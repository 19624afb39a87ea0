#include "app/file_buttons.h"

#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"
#include "app/session.h"

NumberFiles::NumberFiles(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void NumberFiles::btn15Click() {
    DeviceLink& link = session_.link;
    const QString chosen =
        link.prompts.saveFile(session_.ConfigDir, numfiles::exportWorkbookFilter(),
                              numfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    Tprogressbar_ctrl progress(link.bar);
    const numfiles::Outcome out = numfiles::exportWorkbook(session_.numbers, chosen, [&](int r) {
        progress.SetProgress(quint16(r * 100 / numfiles::Slots));
        link.status.ShowStatus(QStringLiteral("Save:%1/%2").arg(r).arg(numfiles::Slots));
    });
    link.bar.setPanelText(QString());
    if (!out.ok()) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

void NumberFiles::btn14Click() {
    DeviceLink& link = session_.link;
    const QString path =
        link.prompts.openFile(session_.ConfigDir, numfiles::importWorkbookFilter());
    if (path.isEmpty()) return;
    Tprogressbar_ctrl progress(link.bar);
    const numfiles::Outcome out = numfiles::importWorkbook(session_.numbers, path, [&](int s) {
        progress.SetProgress(quint16(s * 100 / numfiles::Slots));
        link.status.ShowStatus(QStringLiteral("Import.xls"));
    });
    switch (out.kind) {
        case numfiles::Outcome::Done:
            break;
        case numfiles::Outcome::Refused:
            link.prompts.message(out.text);
            break;
        case numfiles::Outcome::RowsInError:
            link.prompts.inform(out.text);
            break;
    }
}

void NumberFiles::btn3Click() {
    DeviceLink& link = session_.link;
    Tprogressbar_ctrl progress(link.bar);
    QString error;
    // The lines are built before the dialog: a list that cannot be written
    // is refused before the user picks a name.
    const std::optional<QByteArray> bytes =
        numfiles::csvBytes(session_.numbers, &error, [&](int s) {
            progress.SetProgress(quint16(s * 100 / (numfiles::Slots + 1)));
            link.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(s - 1).arg(numfiles::Slots));
        });
    if (!bytes) {
        link.prompts.message(error);
        return;
    }
    const QString chosen = link.prompts.saveFile(session_.ConfigDir, numfiles::csvFilter(),
                                                 numfiles::csvProposedName(clock()));
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    if (!out.ok()) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

Tcustomstringgrid_his::Tcustomstringgrid_his(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void Tcustomstringgrid_his::ExportHistoryWorkbook() {
    DeviceLink& link = session_.link;
    const QString chosen = link.prompts.saveFile(session_.ConfigDir, hisfiles::workbookFilter(),
                                                 hisfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    Tprogressbar_ctrl progress(link.bar);
    const hisfiles::Outcome out = hisfiles::exportWorkbook(session_.history, chosen, [&](int r) {
        if (r > 0) progress.SetProgress(quint16(r * 100 / hisfiles::Rows));
        link.status.ShowStatus(
            QStringLiteral("historical information records:%1/%2").arg(r).arg(hisfiles::Rows));
    });
    if (!out.ok) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

void Tcustomstringgrid_his::ExportHistoryCsv() {
    DeviceLink& link = session_.link;
    const QString proposed = hisfiles::csvProposedName(clock());
    QString error;
    std::optional<QByteArray> bytes;
    {
        Tprogressbar_ctrl progress(link.bar);
        bytes = hisfiles::csvBytes(session_.history, &error, [&](int r) {
            progress.SetProgress(quint16(r * 100 / (hisfiles::Rows + 1)));
            link.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(r - 1).arg(hisfiles::Rows));
        });
    }
    if (!bytes) {
        link.prompts.message(error);
        return;
    }
    const QString chosen =
        link.prompts.saveFile(session_.ConfigDir, hisfiles::csvFilter(), proposed);
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    if (!out.ok()) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

Tcustomstringgrid_basis::Tcustomstringgrid_basis(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void Tcustomstringgrid_basis::ExportProfile() {
    DeviceLink& link = session_.link;
    const QString chosen = link.prompts.saveFile(session_.ConfigDir, profile::exportFilter(),
                                                 profile::proposedName(clock()));
    if (chosen.isEmpty()) return;
    const profile::Outcome out = profile::exportProfile(session_.settings, chosen, [&](int r) {
        link.progress.SetProgress(quint16(r * 100 / profile::SettingRows));
        link.status.ShowStatus(QStringLiteral("Save profile"));
    });
    if (!out.ok) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

void Tcustomstringgrid_basis::ImportProfile() {
    DeviceLink& link = session_.link;
    const QString path = link.prompts.openFile(session_.ConfigDir, profile::importFilter());
    if (path.isEmpty()) return;
    const profile::Outcome out = profile::importProfile(session_.settings, path, [&](int r) {
        link.progress.SetProgress(quint16(r * 100 / profile::SettingRows));
        link.status.ShowStatus(QStringLiteral("Load profile"));
    });
    if (!out.ok) link.prompts.message(out.text);
}
