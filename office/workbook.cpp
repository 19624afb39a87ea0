#include "office/workbook.h"

#include <cmath>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "office/readers.h"
#include "office/sheet.h"

namespace office {

namespace detail {

QString cellName(int row, int column) {
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26) letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

}  // namespace detail

using detail::Sheet;

struct Workbook::Impl {
    Sheet sheet;
    QString error;
};

Workbook::Workbook() : d_(std::make_unique<Impl>()) {}
Workbook::~Workbook() = default;
Workbook::Workbook(Workbook&&) noexcept = default;
Workbook& Workbook::operator=(Workbook&&) noexcept = default;

namespace {

enum class Content { Xlsx, Xls, Other };

// Workbooks are recognised by their first bytes: an .xlsx is a zip archive,
// a legacy .xls an OLE compound file. The name proves nothing.
Content contentOf(const QByteArray& head) {
    if (head.startsWith(QByteArrayLiteral("PK\x03\x04"))) return Content::Xlsx;
    if (head.startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))) return Content::Xls;
    return Content::Other;
}

QString notWorkbookReason(const QByteArray& head) {
    return head.isEmpty() ? QStringLiteral("the file is empty")
                          : QStringLiteral("it is neither an .xlsx nor an .xls workbook");
}

bool inSheet(int row, int column) {
    return row >= 1 && row <= Workbook::kMaxRow && column >= 1 && column <= Workbook::kMaxColumn;
}

}  // namespace

bool Workbook::open(const QString& path, const ReadLimits& limits) {
    close();
    const QString name = QFileInfo(path).fileName();
    auto failed = [&](const QString& reason) {
        d_->sheet.clear();
        d_->error = QStringLiteral("\"%1\" cannot be read as a workbook: %2.").arg(name, reason);
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("the file cannot be opened (%1)").arg(file.errorString()));
    if (file.size() > limits.maxFileBytes)
        return failed(
            QStringLiteral("the file is larger than %1 MiB").arg(limits.maxFileBytes >> 20));
    const QByteArray head = file.peek(8);
    QString reason;
    switch (contentOf(head)) {
        case Content::Xlsx: {
            const QByteArray bytes = file.read(limits.maxFileBytes + 1);
            if (bytes.size() > limits.maxFileBytes)
                return failed(QStringLiteral("the file is larger than %1 MiB")
                                  .arg(limits.maxFileBytes >> 20));
            if (!detail::readXlsx(bytes, limits, &d_->sheet, &reason)) return failed(reason);
            return true;
        }
        case Content::Xls:
            file.close();
            if (!detail::readXls(path, limits, &d_->sheet, &reason)) return failed(reason);
            return true;
        case Content::Other:
            break;
    }
    return failed(notWorkbookReason(head));
}

bool Workbook::openBytes(const QByteArray& bytes, const QString& name, const ReadLimits& limits) {
    close();
    auto failed = [&](const QString& reason) {
        d_->sheet.clear();
        d_->error = QStringLiteral("\"%1\" cannot be read as a workbook: %2.").arg(name, reason);
        return false;
    };
    if (bytes.size() > limits.maxFileBytes)
        return failed(
            QStringLiteral("the file is larger than %1 MiB").arg(limits.maxFileBytes >> 20));
    QString reason;
    switch (contentOf(bytes.left(8))) {
        case Content::Xlsx:
            if (!detail::readXlsx(bytes, limits, &d_->sheet, &reason)) return failed(reason);
            return true;
        case Content::Xls: {
            // The legacy reader works on files only.
            QTemporaryFile copy;
            if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
                return failed(QStringLiteral("no temporary copy could be made"));
            if (!detail::readXls(copy.fileName(), limits, &d_->sheet, &reason))
                return failed(reason);
            return true;
        }
        case Content::Other:
            break;
    }
    return failed(notWorkbookReason(bytes.left(8)));
}

bool Workbook::setColumnWidth(int column, double width) {
    if (column < 1 || column > kMaxColumn || !(width >= 0 && width <= 255)) {
        d_->error =
            QStringLiteral("Column %1 cannot be given the width %2.").arg(column).arg(width);
        return false;
    }
    d_->sheet.columnWidths[column] = width;
    return true;
}

bool Workbook::setTextFormat(int row, int column) {
    if (!inSheet(row, column)) {
        d_->error =
            QStringLiteral("Row %1, column %2 lies outside a worksheet.").arg(row).arg(column);
        return false;
    }
    d_->sheet.at(row, column).textFormat = true;
    return true;
}

bool Workbook::setText(int row, int column, const QString& text) {
    if (!inSheet(row, column)) {
        d_->error =
            QStringLiteral("Row %1, column %2 lies outside a worksheet.").arg(row).arg(column);
        return false;
    }
    auto& cell = d_->sheet.at(row, column);
    cell.value = {text.isEmpty() ? CellKind::Empty : CellKind::String, text, 0};
    cell.textFormat = true;
    return true;
}

CellValue Workbook::cell(int row, int column) const {
    const detail::StoredCell* stored = d_->sheet.find(row, column);
    return stored ? stored->value : CellValue{};
}

QString Workbook::value(int row, int column) const {
    return cell(row, column).text;
}

QString Workbook::shownText(int row, int column) const {
    return cell(row, column).text;
}

bool Workbook::saveAs(const QString& path) {
    QString reason;
    if (!detail::writeXlsx(d_->sheet, path, &reason)) {
        d_->error =
            QStringLiteral("\"%1\" cannot be saved: %2.").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    return true;
}

void Workbook::close() {
    d_->sheet.clear();
    d_->error.clear();
}

QString Workbook::errorText() const {
    return d_->error;
}

QString exportFileName(const QString& chosen, QString* note) {
    if (note) note->clear();
    QString path = chosen;
    // "name." has no extension; the dots are dropped rather than doubled.
    while (path.endsWith(u'.')) path.chop(1);
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(u"xlsx", Qt::CaseInsensitive) == 0) return path;
    if (suffix.compare(u"xls", Qt::CaseInsensitive) == 0) {
        path.chop(suffix.size());
        path += QStringLiteral("xlsx");
        if (note)
            *note = QStringLiteral(
                        "The legacy .xls format cannot be written; the workbook was "
                        "saved as \"%1\" instead.")
                        .arg(QFileInfo(path).fileName());
        return path;
    }
    return path + QStringLiteral(".xlsx");
}

bool usableAsPhoneNumber(const CellValue& cell) {
    switch (cell.kind) {
        case CellKind::Empty:
        case CellKind::String:
            return true;
        case CellKind::Number:
            // Beyond 15 digits a spreadsheet has already rounded the number.
            return cell.number >= 0 && cell.number == std::trunc(cell.number) && cell.number < 1e15;
        case CellKind::Bool:
        case CellKind::Date:
            return false;
    }
    return false;
}

}  // namespace office
