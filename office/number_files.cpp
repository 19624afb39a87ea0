#include "office/number_files.h"

#include <QFileInfo>
#include <QSaveFile>

#include "core/gbk.h"
#include "core/text_grid.h"
#include "numbers/number_record.h"
#include "office/workbook.h"

namespace numfiles {

namespace {

const QString kHeaderCell = QStringLiteral("Serial");
const QString kWrongFormat = QStringLiteral("Wrong format of the setting profile");

// Sheet columns of the validity window and the flags (A = 1).
constexpr int kNumberCol = 2, kStartDateCol = 3, kStartTimeCol = 4, kEndDateCol = 5,
              kEndTimeCol = 6, kAlwaysCol = 7, kDeleteCol = 8;

bool isNumberText(const QString& text) {
    return numrec::cellNumber(text).has_value();
}

}  // namespace

QString exportWorkbookFilter() {
    return QStringLiteral("EXCEL file|*.xlsx;*.xls|(*.*)|*.*");
}
QString importWorkbookFilter() {
    return QStringLiteral("EXCEL file|*.xls;*.xlsx|(*.*)|*.*");
}
QString csvFilter() {
    return QStringLiteral("CVS file|*.cvs;*.cvs|(*.*)|*.*");
}

QString fileStamp(const QDateTime& now) {
    return now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}
QString workbookProposedName(const QDateTime& now) {
    return QStringLiteral("telinf_R") + fileStamp(now);
}
QString csvProposedName(const QDateTime& now) {
    return QStringLiteral("telinf_CSV") + fileStamp(now) + QStringLiteral(".cvs");
}

// ---- workbook ------------------------------------------------------------

void fillWorkbook(const TextGrid& grid, office::Workbook& book, const RowDone& rowDone) {
    book.setColumnWidth(1, 4);
    book.setColumnWidth(2, 20);
    for (int c = 3; c <= 6; ++c) book.setColumnWidth(c, 16);
    const int lastRow = qMin(grid.rows() - 1, Slots);
    for (int r = 0; r <= lastRow; ++r) {
        for (int c = 0; c < numrec::ColumnCount; ++c) {
            book.setTextFormat(r + 1, c + 1);
            book.setText(r + 1, c + 1, grid.text(c, r));
        }
        if (r > 0 && rowDone) rowDone(r);
    }
}

Outcome exportWorkbook(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone) {
    Outcome out;
    out.path = office::exportFileName(chosenPath, &out.text);
    office::Workbook book;
    fillWorkbook(grid, book, rowDone);
    if (!book.saveAs(out.path)) return {Outcome::Refused, book.errorText(), {}};
    return out;
}

bool dateCellPasses(const QString& text) {
    // Characters 3-4 are the year on the wire, 6-7 the month, the last two
    // the day; the separators are never looked at.
    return text.size() == 10 && isNumberText(text.mid(2, 2)) && isNumberText(text.mid(5, 2)) &&
           isNumberText(text.right(2));
}

bool timeCellPasses(const QString& text) {
    return text.size() == 5 && isNumberText(text.left(2)) && isNumberText(text.right(2));
}

QString slotList(const QVector<int>& serials) {
    QStringList shown;
    for (int i = 0; i < serials.size() && i < 3; ++i) shown << QString::number(serials[i]);
    if (serials.size() > 3) shown << QStringLiteral("....");
    return QStringLiteral("Serial: ") + shown.join(QLatin1Char(','));
}

QString checkReport(const QVector<int>& slotsInError) {
    return QStringLiteral(
               "Wrong information on the profile,please correct it and then import "
               "again,error:") +
           QString::number(slotsInError.size()) + QLatin1Char('\r') + slotList(slotsInError);
}

Outcome importWorkbook(TextGrid& grid, const office::Workbook& book, const RowDone& rowDone) {
    if (book.shownText(1, 1) != kHeaderCell) return {Outcome::Refused, kWrongFormat, {}};

    QVector<int> inError;
    QVector<int> inexactNumbers;
    for (int s = 1; s <= Slots; ++s) {
        const int row = s + 1;
        // Every slot's number is copied, so every one must be exact.
        if (!office::usableAsPhoneNumber(book.cell(row, kNumberCol))) inexactNumbers << s;
        if (book.value(row, kNumberCol).isEmpty() || book.value(row, kAlwaysCol) == numrec::Yes ||
            book.value(row, kDeleteCol) == numrec::Yes)
            continue;
        if (!dateCellPasses(book.value(row, kStartDateCol)) ||
            !timeCellPasses(book.value(row, kStartTimeCol)) ||
            !dateCellPasses(book.value(row, kEndDateCol)) ||
            !timeCellPasses(book.value(row, kEndTimeCol)))
            inError << s;
    }
    if (!inError.isEmpty()) return {Outcome::RowsInError, checkReport(inError), {}};
    if (!inexactNumbers.isEmpty()) {
        // A spreadsheet keeps 15 significant digits of a number: a longer
        // telephone number typed as a number has already lost digits, and a
        // fraction or a negative value is no telephone number at all.
        return {Outcome::Refused,
                QStringLiteral("Authorized numbers stored as numbers that cannot be telephone "
                               "numbers (only whole numbers of up to 15 digits are exact),please "
                               "store them as text and import again,error:") +
                    QString::number(inexactNumbers.size()) + QLatin1Char('\r') +
                    slotList(inexactNumbers),
                {}};
    }

    // Grid columns 1..6; the serial and "Delete(V)" stay as they are.
    QVector<QStringList> rows;
    rows.reserve(Slots);
    for (int s = 1; s <= Slots; ++s) {
        const int row = s + 1;
        QStringList texts;
        texts.reserve(6);
        for (int col = kNumberCol; col <= kEndTimeCol; ++col) texts << book.value(row, col);
        texts << (book.shownText(row, kAlwaysCol) == numrec::Yes ? numrec::Yes : numrec::No);
        rows << texts;
        if (rowDone) rowDone(s);
    }
    grid.setRows(1, rows, numrec::Number);
    return {};
}

Outcome importWorkbook(TextGrid& grid, const QString& path, const RowDone& rowDone) {
    office::Workbook book;
    office::ReadLimits limits;
    limits.maxRows = Slots + 1;
    limits.maxColumns = numrec::ColumnCount;
    if (!book.open(path, limits)) return {Outcome::Refused, book.errorText(), {}};
    return importWorkbook(grid, book, rowDone);
}

// ---- CSV -----------------------------------------------------------------

QString csvField(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text)
        if (special.contains(c)) {
            quote = true;
            break;
        }
    if (!quote) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList& fields) {
    QString line;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) line += QLatin1Char(',');
        if (i < fields.size()) line += csvField(fields[i]);
    }
    return line;
}

bool appendCsvLine(QByteArray& out, const QString& line, const QString& what, QString* error) {
    const std::optional<QByteArray> bytes = gbk::encode(line);
    if (!bytes) {
        if (error)
            *error = QStringLiteral(
                         "The character \"%1\" in %2 has no GBK form and cannot be "
                         "written to a CSV file; nothing was written.")
                         .arg(gbk::firstUnencodable(line), what);
        return false;
    }
    out += *bytes;
    out += "\r\n";
    return true;
}

QString writeFileAtomically(const QByteArray& bytes, const QString& path) {
    QSaveFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("\"%1\" cannot be written: %2.").arg(name, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("\"%1\" cannot be written: %2.").arg(name, file.errorString());
    return {};
}

QString csvFileName(const QString& chosen, QString* note) {
    if (note) note->clear();
    static const QStringList workbookSuffixes = {"xlsx", "xls",  "xlsm", "xlsb",
                                                 "xltx", "xltm", "xlt",  "ods"};
    const QString suffix = QFileInfo(chosen).suffix();
    for (const QString& s : workbookSuffixes)
        if (suffix.compare(s, Qt::CaseInsensitive) == 0) {
            const QString path = chosen + QStringLiteral(".cvs");
            if (note)
                *note = QStringLiteral(
                            "A CSV file cannot carry a workbook's name; it was saved as "
                            "\"%1\" instead.")
                            .arg(QFileInfo(path).fileName());
            return path;
        }
    return chosen;
}

std::optional<QByteArray> csvBytes(const TextGrid& grid, QString* error, const RowDone& rowDone) {
    QByteArray out;
    out.reserve(Slots * 24);
    const int lastRow = qMin(grid.rows() - 1, Slots);
    for (int s = 1; s <= lastRow; ++s) {
        if (!appendCsvLine(out, csvLine(grid.rowTexts(s)), QStringLiteral("slot %1").arg(s), error))
            return std::nullopt;
        if (rowDone) rowDone(s);
    }
    return out;
}

Outcome writeCsv(const QByteArray& bytes, const QString& chosenPath) {
    Outcome out;
    out.path = csvFileName(chosenPath, &out.text);
    const QString error = writeFileAtomically(bytes, out.path);
    if (!error.isEmpty()) return {Outcome::Refused, error, {}};
    return out;
}

Outcome exportCsv(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone) {
    QString error;
    const std::optional<QByteArray> bytes = csvBytes(grid, &error, rowDone);
    if (!bytes) return {Outcome::Refused, error, {}};
    return writeCsv(*bytes, chosenPath);
}

}  // namespace numfiles
