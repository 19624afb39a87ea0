#include "settings/profile.h"

#include "office/workbook.h"
#include "ui/session.h"

namespace profile {

namespace {
constexpr int kColumns = 3;
const QString kHeaderCell = QStringLiteral("Items");
}  // namespace

QString exportFilter() {
    return QStringLiteral("EXCEL file|*.xlsx;*.xls|(*.*)|*.*");
}
QString importFilter() {
    return QStringLiteral("EXCEL file|*.xls;*.xlsx|(*.*)|*.*");
}
QString proposedName(const QDateTime& now) {
    return QStringLiteral("basicinf_R") + now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}

int choiceSheetRow(SettingsSheet::Choice c) {
    return SettingsSheet::rowOf(c) + 1;
}

void fillWorkbook(const SettingsSheet& sheet, office::Workbook& book, const RowDone& rowDone) {
    book.setColumnWidth(1, 85);
    book.setColumnWidth(2, 45);
    book.setColumnWidth(3, 130);
    for (int r = 0; r <= SettingRows; ++r) {
        for (int c = 0; c < kColumns; ++c) book.setText(r + 1, c + 1, sheet.grid.text(c, r));
        if (rowDone) rowDone(r);
    }
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        const auto choice = SettingsSheet::Choice(c);
        book.setText(choiceSheetRow(choice), 2, sheet.choiceText(choice));
    }
}

Outcome exportProfile(const SettingsSheet& sheet, const QString& chosenPath,
                      const RowDone& rowDone) {
    Outcome out;
    out.path = office::exportFileName(chosenPath, &out.text);
    office::Workbook book;
    fillWorkbook(sheet, book, rowDone);
    if (!book.saveAs(out.path)) return {false, book.errorText(), {}};
    return out;
}

Outcome importProfile(SettingsSheet& sheet, const office::Workbook& book, const RowDone& rowDone) {
    if (book.shownText(1, 1) != kHeaderCell)
        return {false, QStringLiteral("Wrong format of the setting profile"), {}};

    // The choice cells are checked before anything is loaded, so a profile
    // that cannot be taken leaves the grid and the lists as they were.
    int indices[SettingsSheet::ChoiceCount];
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        const QString first = book.value(choiceSheetRow(SettingsSheet::Choice(c)), 2).left(1);
        if (first.isEmpty() || first[0] < QLatin1Char('0') || first[0] > QLatin1Char('9'))
            return {false, QStringLiteral("'%1' is not a valid integer value").arg(first), {}};
        indices[c] = first[0].unicode() - '0';
    }

    QVector<QStringList> rows;
    rows.reserve(SettingRows);
    for (int r = 1; r <= SettingRows; ++r) {
        rows << QStringList{book.value(r + 1, 2), book.value(r + 1, 3)};
        if (rowDone) rowDone(r);
    }
    sheet.grid.setRows(1, rows, 1);
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
        sheet.setChoice(SettingsSheet::Choice(c), indices[c]);
    return {};
}

Outcome importProfile(SettingsSheet& sheet, const QString& path, const RowDone& rowDone) {
    office::Workbook book;
    office::ReadLimits limits;
    limits.maxRows = SettingRows + 1;
    limits.maxColumns = kColumns;
    if (!book.open(path, limits)) return {false, book.errorText(), {}};
    return importProfile(sheet, book, rowDone);
}

}  // namespace profile

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
