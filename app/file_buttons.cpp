#include "app/file_buttons.h"

#include "app/session.h"
#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"

NumberFiles::NumberFiles(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void NumberFiles::btn15Click() {
    Feedback& feedback = session_.feedback;
    const QString chosen =
        feedback.prompts.saveFile(session_.ConfigDir, numfiles::exportWorkbookFilter(),
                              numfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    Tprogressbar_ctrl progress(feedback.bar);
    const numfiles::Outcome out = numfiles::exportWorkbook(session_.numbers, chosen, [&](int r) {
        progress.SetProgress(quint16(r * 100 / numfiles::Slots));
        feedback.status.ShowStatus(QStringLiteral("Save:%1/%2").arg(r).arg(numfiles::Slots));
    });
    feedback.bar.setPanelText(QString());
    if (!out.ok()) {
        feedback.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) feedback.prompts.inform(out.text);
}

void NumberFiles::btn14Click() {
    Feedback& feedback = session_.feedback;
    const QString path =
        feedback.prompts.openFile(session_.ConfigDir, numfiles::importWorkbookFilter());
    if (path.isEmpty()) return;
    Tprogressbar_ctrl progress(feedback.bar);
    const numfiles::Outcome out = numfiles::importWorkbook(session_.numbers, path, [&](int s) {
        progress.SetProgress(quint16(s * 100 / numfiles::Slots));
        feedback.status.ShowStatus(QStringLiteral("Import.xls"));
    });
    switch (out.kind) {
        case numfiles::Outcome::Done:
            break;
        case numfiles::Outcome::Refused:
            feedback.prompts.message(out.text);
            break;
        case numfiles::Outcome::RowsInError:
            feedback.prompts.inform(out.text);
            break;
    }
}

void NumberFiles::btn3Click() {
    Feedback& feedback = session_.feedback;
    Tprogressbar_ctrl progress(feedback.bar);
    QString error;
    // The lines are built before the dialog: a list that cannot be written
    // is refused before the user picks a name.
    const std::optional<QByteArray> bytes =
        numfiles::csvBytes(session_.numbers, &error, [&](int s) {
            progress.SetProgress(quint16(s * 100 / (numfiles::Slots + 1)));
            feedback.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(s - 1).arg(numfiles::Slots));
        });
    if (!bytes) {
        feedback.prompts.message(error);
        return;
    }
    const QString chosen = feedback.prompts.saveFile(session_.ConfigDir, numfiles::csvFilter(),
                                                 numfiles::csvProposedName(clock()));
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    if (!out.ok()) {
        feedback.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) feedback.prompts.inform(out.text);
}

Tcustomstringgrid_his::Tcustomstringgrid_his(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void Tcustomstringgrid_his::ExportHistoryWorkbook() {
    Feedback& feedback = session_.feedback;
    const QString chosen = feedback.prompts.saveFile(session_.ConfigDir, hisfiles::workbookFilter(),
                                                 hisfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    Tprogressbar_ctrl progress(feedback.bar);
    const hisfiles::Outcome out = hisfiles::exportWorkbook(session_.history, chosen, [&](int r) {
        if (r > 0) progress.SetProgress(quint16(r * 100 / hisfiles::Rows));
        feedback.status.ShowStatus(
            QStringLiteral("historical information records:%1/%2").arg(r).arg(hisfiles::Rows));
    });
    if (!out.ok) {
        feedback.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) feedback.prompts.inform(out.text);
}

void Tcustomstringgrid_his::ExportHistoryCsv() {
    Feedback& feedback = session_.feedback;
    const QString proposed = hisfiles::csvProposedName(clock());
    QString error;
    std::optional<QByteArray> bytes;
    {
        Tprogressbar_ctrl progress(feedback.bar);
        bytes = hisfiles::csvBytes(session_.history, &error, [&](int r) {
            progress.SetProgress(quint16(r * 100 / (hisfiles::Rows + 1)));
            feedback.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(r - 1).arg(hisfiles::Rows));
        });
    }
    if (!bytes) {
        feedback.prompts.message(error);
        return;
    }
    const QString chosen =
        feedback.prompts.saveFile(session_.ConfigDir, hisfiles::csvFilter(), proposed);
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    if (!out.ok()) {
        feedback.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) feedback.prompts.inform(out.text);
}

Tcustomstringgrid_basis::Tcustomstringgrid_basis(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void Tcustomstringgrid_basis::ExportProfile() {
    Feedback& feedback = session_.feedback;
    const QString chosen = feedback.prompts.saveFile(session_.ConfigDir, profile::exportFilter(),
                                                 profile::proposedName(clock()));
    if (chosen.isEmpty()) return;
    const profile::Outcome out = profile::exportProfile(session_.settings, chosen, [&](int r) {
        feedback.progress.SetProgress(quint16(r * 100 / profile::SettingRows));
        feedback.status.ShowStatus(QStringLiteral("Save profile"));
    });
    if (!out.ok) {
        feedback.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) feedback.prompts.inform(out.text);
}

void Tcustomstringgrid_basis::ImportProfile() {
    Feedback& feedback = session_.feedback;
    const QString path = feedback.prompts.openFile(session_.ConfigDir, profile::importFilter());
    if (path.isEmpty()) return;
    const profile::Outcome out = profile::importProfile(session_.settings, path, [&](int r) {
        feedback.progress.SetProgress(quint16(r * 100 / profile::SettingRows));
        feedback.status.ShowStatus(QStringLiteral("Load profile"));
    });
    if (!out.ok) feedback.prompts.message(out.text);
}
