#include "office/settings_profile.h"

#include <optional>
#include <QRegularExpression>

#include "office/workbook.h"

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

QString choiceCellText(const SettingsSheet& sheet, SettingsSheet::Choice c) {
    if (sheet.choice(c) >= 0) return sheet.choiceText(c);
    const QString hex =
        QString::number(sheet.choiceByte(c), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return QStringLiteral("No selection (byte 0x%1)").arg(hex);
}

namespace {

// The device byte of a choice cell: the digit of an item text (a digit that
// names no item is 0xFF, no selection), or the byte of the no-selection
// form; nothing when the cell is neither.
std::optional<int> choiceCellByte(SettingsSheet::Choice c, const QString& cell) {
    const QChar first = cell.isEmpty() ? QChar() : cell[0];
    if (first >= QLatin1Char('0') && first <= QLatin1Char('9')) {
        const int index = first.unicode() - '0';
        return index < SettingsSheet::items(c).size() ? index : 0xFF;
    }
    static const QRegularExpression none(
        QStringLiteral("^\\s*no selection\\s*\\(\\s*byte\\s+0x([0-9a-f]{1,2})\\s*\\)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = none.match(cell);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt(nullptr, 16);
}

}  // namespace

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
        book.setText(choiceSheetRow(choice), 2, choiceCellText(sheet, choice));
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
    int bytes[SettingsSheet::ChoiceCount];
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        const auto choice = SettingsSheet::Choice(c);
        const QString cell = book.value(choiceSheetRow(choice), 2);
        const std::optional<int> byte = choiceCellByte(choice, cell);
        if (!byte)
            return {
                false, QStringLiteral("'%1' is not a valid integer value").arg(cell.left(1)), {}};
        bytes[c] = *byte;
    }

    QVector<QStringList> rows;
    rows.reserve(SettingRows);
    for (int r = 1; r <= SettingRows; ++r) {
        rows << QStringList{book.value(r + 1, 2), book.value(r + 1, 3)};
        if (rowDone) rowDone(r);
    }
    sheet.grid.setRows(1, rows, 1);
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
        sheet.setChoice(SettingsSheet::Choice(c), bytes[c]);
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
