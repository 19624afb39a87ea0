#include "app/file_buttons.h"

#include "app/session.h"
#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"

namespace {

QDateTime now() {
    return QDateTime::currentDateTime();
}

// The end of a file operation: a failure in the application's box; a note
// (a name changed, rows skipped) in an information box; silence otherwise.
void report(Feedback& feedback, bool ok, const QString& text) {
    if (!ok)
        feedback.prompts.message(text);
    else if (!text.isEmpty())
        feedback.prompts.inform(text);
}

// A CSV export whose bytes were built before the dialog: a grid that cannot
// be written is refused before the user picks a name.
void saveCsv(Feedback& feedback, const std::optional<QByteArray>& bytes, const QString& error,
             const QString& dir, const QString& filter, const QString& proposed) {
    if (!bytes) {
        feedback.prompts.message(error);
        return;
    }
    const QString chosen = feedback.prompts.saveFile(dir, filter, proposed);
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    report(feedback, out.ok(), out.text);
}

}  // namespace

NumberFiles::NumberFiles(DeviceSession& session) : clock(now), session_(session) {}

void NumberFiles::btn15Click() {
    Feedback& feedback = session_.feedback;
    const QString chosen =
        feedback.prompts.saveFile(session_.ConfigDir, numfiles::exportWorkbookFilter(),
                                  numfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::exportWorkbook(session_.numbers, chosen, [&](int r) {
        feedback.progress.SetProgress(quint16(r * 100 / numfiles::Slots));
        feedback.status.ShowStatus(QStringLiteral("Save:%1/%2").arg(r).arg(numfiles::Slots));
    });
    feedback.bar.setPanelText(QString());
    report(feedback, out.ok(), out.text);
}

void NumberFiles::btn14Click() {
    Feedback& feedback = session_.feedback;
    const QString path =
        feedback.prompts.openFile(session_.ConfigDir, numfiles::importWorkbookFilter());
    if (path.isEmpty()) return;
    const numfiles::Outcome out = numfiles::importWorkbook(session_.numbers, path, [&](int s) {
        feedback.progress.SetProgress(quint16(s * 100 / numfiles::Slots));
        feedback.status.ShowStatus(QStringLiteral("Import.xls"));
    });
    if (out.kind == numfiles::Outcome::Refused)
        feedback.prompts.message(out.text);
    else if (out.kind == numfiles::Outcome::RowsInError)
        feedback.prompts.inform(out.text);  // the check report; the grid is unchanged
}

void NumberFiles::btn3Click() {
    Feedback& feedback = session_.feedback;
    QString error;
    const std::optional<QByteArray> bytes =
        numfiles::csvBytes(session_.numbers, &error, [&](int s) {
            feedback.progress.SetProgress(quint16(s * 100 / (numfiles::Slots + 1)));
            feedback.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(s - 1).arg(numfiles::Slots));
        });
    saveCsv(feedback, bytes, error, session_.ConfigDir, numfiles::csvFilter(),
            numfiles::csvProposedName(clock()));
}

Tcustomstringgrid_his::Tcustomstringgrid_his(DeviceSession& session)
    : clock(now), session_(session) {}

void Tcustomstringgrid_his::ExportHistoryWorkbook() {
    Feedback& feedback = session_.feedback;
    const QString chosen =
        feedback.prompts.saveFile(session_.ConfigDir, hisfiles::workbookFilter(),
                                  hisfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    const hisfiles::Outcome out = hisfiles::exportWorkbook(session_.history, chosen, [&](int r) {
        if (r > 0) feedback.progress.SetProgress(quint16(r * 100 / hisfiles::Rows));
        feedback.status.ShowStatus(
            QStringLiteral("historical information records:%1/%2").arg(r).arg(hisfiles::Rows));
    });
    report(feedback, out.ok, out.text);
}

void Tcustomstringgrid_his::ExportHistoryCsv() {
    Feedback& feedback = session_.feedback;
    const QString proposed = hisfiles::csvProposedName(clock());
    QString error;
    const std::optional<QByteArray> bytes =
        hisfiles::csvBytes(session_.history, &error, [&](int r) {
            feedback.progress.SetProgress(quint16(r * 100 / (hisfiles::Rows + 1)));
            feedback.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(r - 1).arg(hisfiles::Rows));
        });
    saveCsv(feedback, bytes, error, session_.ConfigDir, hisfiles::csvFilter(), proposed);
}

Tcustomstringgrid_basis::Tcustomstringgrid_basis(DeviceSession& session)
    : clock(now), session_(session) {}

void Tcustomstringgrid_basis::ExportProfile() {
    Feedback& feedback = session_.feedback;
    const QString chosen = feedback.prompts.saveFile(session_.ConfigDir, profile::exportFilter(),
                                                     profile::proposedName(clock()));
    if (chosen.isEmpty()) return;
    const profile::Outcome out = profile::exportProfile(session_.settings, chosen, [&](int r) {
        feedback.progress.SetProgress(quint16(r * 100 / profile::SettingRows));
        feedback.status.ShowStatus(QStringLiteral("Save profile"));
    });
    report(feedback, out.ok, out.text);
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
