// Reads the first worksheet of an .xlsx archive into a Sheet.
//
// Parts are read in this order, each streamed once: xl/workbook.xml (date
// system, sheet order), its relationships (where the first worksheet, the
// styles and the shared strings are), the styles (which cell formats show
// dates or times), the worksheet (only the cells inside the requested rows
// and columns are kept; shared strings are noted by index) and last the
// shared strings, of which only the entries those cells use are kept.
// Nothing is sized from the counts or the <dimension> a file claims.

#include <limits>
#include <map>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QLocale>
#include <vector>

#include "office/cell_text.h"
#include "office/readers.h"
#include "office/untrusted_input.h"

namespace office::detail {
namespace {

// Attributes by local name (prefixes differ between producers). Each call
// of QXmlStreamReader::attributes() copies them, so callers take them once.
const QXmlStreamAttribute* findAttr(const QXmlStreamAttributes& attrs,
                                    QLatin1StringView localName) {
    for (const auto& a : attrs)
        if (a.name() == localName) return &a;
    return nullptr;
}

QStringView attr(const QXmlStreamAttributes& attrs, QLatin1StringView localName) {
    const QXmlStreamAttribute* a = findAttr(attrs, localName);
    return a ? a->value() : QStringView();
}

QStringView attr(const QXmlStreamReader& xml, QLatin1StringView localName) {
    for (const auto& a : xml.attributes())
        if (a.name() == localName) return a.value();
    return {};
}

bool isStart(SafeXml& x, QLatin1StringView name) {
    return x.xml().isStartElement() && x.xml().name() == name;
}
bool isEnd(SafeXml& x, QLatin1StringView name) {
    return x.xml().isEndElement() && x.xml().name() == name;
}

bool truthy(QStringView v) {
    return v == u"1" || v == u"true";
}

// Appends text, failing once the result would pass `cap` characters.
bool appendCapped(QString& to, QStringView text, int cap) {
    if (to.size() + text.size() > cap) return false;
    to += text;
    return true;
}

// "BC12" -> (12, 55). False when it is not a cell reference in range.
bool parseRef(QStringView ref, int* row, int* column) {
    qsizetype i = 0;
    int col = 0;
    while (i < ref.size() && i < 3 && ref[i].isLetter() && ref[i].unicode() < 128) {
        col = col * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size() || ref.size() - i > 7) return false;
    int r = 0;
    for (qsizetype k = i; k < ref.size(); ++k) {
        if (ref[k] < u'0' || ref[k] > u'9') return false;
        r = r * 10 + (ref[k].unicode() - u'0');
    }
    if (r < 1 || r > Workbook::kMaxRow || col < 1 || col > Workbook::kMaxColumn) return false;
    *row = r;
    *column = col;
    return true;
}

struct Relationship {
    QString type;
    QString target;
};

struct Package {
    bool date1904 = false;
    QStringList sheetIds;  // r:id of the sheets, in order
    QHash<QString, Relationship> relationships;
    QString sheetPath, stylesPath, stringsPath;
    std::vector<DateParts> xfParts;  // per cell format index
};

// Workbooks list at most a few hundred sheets and relationships.
constexpr int kMaxListed = 4096;
// Excel allows about 64000 cell formats.
constexpr int kMaxCellFormats = 65536;

class XlsxReader {
public:
    XlsxReader(const QByteArray& bytes, const ReadLimits& limits, Sheet* sheet)
        : zip_(bytes, limits.maxInflatedBytes), limits_(limits), sheet_(sheet) {}

    bool run(QString* error) {
        if (!zip_.open(error)) return false;
        if (zip_.contains(QStringLiteral("xl/workbook.xml")) && !readWorkbookPart(error))
            return false;
        if (zip_.contains(QStringLiteral("xl/_rels/workbook.xml.rels")) &&
            !readRelationships(error))
            return false;
        locateParts();
        if (!zip_.contains(pkg_.sheetPath)) {
            *error = QStringLiteral("it has no worksheet (%1 is missing)").arg(pkg_.sheetPath);
            return false;
        }
        if (zip_.contains(pkg_.stylesPath) && !readStyles(error)) return false;
        sheet_->cells.reserve(
            size_t(std::min<qint64>(qint64(limits_.maxRows) * limits_.maxColumns, 1 << 16)));
        if (!readWorksheet(error)) return false;
        if (!wanted_.empty() && !readSharedStrings(error)) return false;
        return true;
    }

private:
    // Runs `onToken` for every token of a part; false with the reason on a
    // failure of the part or of `onToken` (which reports through fail()).
    template <typename F>
    bool parse(const QString& part, QString* error, F&& onToken) {
        QIODevice* device = zip_.openPart(part, error);
        if (!device) return false;
        SafeXml x(device, part, &zip_);
        while (x.next()) {
            if (!onToken(x)) break;
        }
        zip_.closePart();
        if (!x.error().isEmpty()) {
            *error = x.error();
            return false;
        }
        return true;
    }

    bool readWorkbookPart(QString* error) {
        return parse(QStringLiteral("xl/workbook.xml"), error, [&](SafeXml& x) {
            if (isStart(x, QLatin1StringView("workbookPr"))) {
                pkg_.date1904 = truthy(attr(x.xml(), QLatin1StringView("date1904")));
            } else if (isStart(x, QLatin1StringView("sheet")) &&
                       pkg_.sheetIds.size() < kMaxListed) {
                pkg_.sheetIds << attr(x.xml(), QLatin1StringView("id")).toString();
            }
            return true;
        });
    }

    bool readRelationships(QString* error) {
        return parse(QStringLiteral("xl/_rels/workbook.xml.rels"), error, [&](SafeXml& x) {
            if (isStart(x, QLatin1StringView("Relationship")) &&
                pkg_.relationships.size() < kMaxListed &&
                attr(x.xml(), QLatin1StringView("TargetMode")) != u"External") {
                pkg_.relationships.insert(attr(x.xml(), QLatin1StringView("Id")).toString(),
                                          {attr(x.xml(), QLatin1StringView("Type")).toString(),
                                           attr(x.xml(), QLatin1StringView("Target")).toString()});
            }
            return true;
        });
    }

    // A relationship target as a part name ("worksheets/sheet1.xml" ->
    // "xl/worksheets/sheet1.xml"); empty when it points outside the archive.
    static QString partName(const QString& target) {
        QString path = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
        path = QDir::cleanPath(path);
        if (path.startsWith(u"../") || path == u".." || path.isEmpty()) return {};
        return path;
    }

    void locateParts() {
        pkg_.sheetPath = QStringLiteral("xl/worksheets/sheet1.xml");
        pkg_.stylesPath = QStringLiteral("xl/styles.xml");
        pkg_.stringsPath = QStringLiteral("xl/sharedStrings.xml");
        for (auto it = pkg_.relationships.cbegin(); it != pkg_.relationships.cend(); ++it) {
            const QString path = partName(it->target);
            if (path.isEmpty()) continue;
            if (it->type.endsWith(u"/styles")) pkg_.stylesPath = path;
            if (it->type.endsWith(u"/sharedStrings")) pkg_.stringsPath = path;
        }
        // The first listed sheet that is a worksheet (chart sheets hold no cells).
        for (const QString& id : pkg_.sheetIds) {
            const auto rel = pkg_.relationships.constFind(id);
            if (rel == pkg_.relationships.cend() || !rel->type.endsWith(u"/worksheet")) continue;
            const QString path = partName(rel->target);
            if (!path.isEmpty()) {
                pkg_.sheetPath = path;
                break;
            }
        }
    }

    bool readStyles(QString* error) {
        QHash<int, DateParts> custom;
        bool inCellXfs = false;
        return parse(pkg_.stylesPath, error, [&](SafeXml& x) {
            auto& xml = x.xml();
            if (isStart(x, QLatin1StringView("numFmt"))) {
                bool ok = false;
                const int id = attr(xml, QLatin1StringView("numFmtId")).toInt(&ok);
                if (ok && custom.size() < kMaxCellFormats)
                    custom.insert(id,
                                  customFormatParts(attr(xml, QLatin1StringView("formatCode"))));
            } else if (isStart(x, QLatin1StringView("cellXfs"))) {
                inCellXfs = true;
            } else if (isEnd(x, QLatin1StringView("cellXfs"))) {
                inCellXfs = false;
            } else if (inCellXfs && isStart(x, QLatin1StringView("xf")) &&
                       pkg_.xfParts.size() < size_t(kMaxCellFormats)) {
                bool ok = false;
                const int id = attr(xml, QLatin1StringView("numFmtId")).toInt(&ok);
                DateParts parts = kNoDate;
                if (ok) parts = custom.contains(id) ? custom.value(id) : builtinFormatParts(id);
                pkg_.xfParts.push_back(parts);
            }
            return true;
        });
    }

    DateParts formatParts(QStringView styleIndex) const {
        bool ok = false;
        const qlonglong s = styleIndex.toLongLong(&ok);
        if (!ok || s < 0 || s >= qlonglong(pkg_.xfParts.size())) return kNoDate;
        return pkg_.xfParts[size_t(s)];
    }

    bool readWorksheet(QString* error) {
        int lastRow = 0;  // rows without a number follow the previous row
        int row = 0;
        int column = 0;  // cells without a reference follow the previous cell
        return parse(pkg_.sheetPath, error, [&](SafeXml& x) {
            auto& xml = x.xml();
            if (!xml.isStartElement()) return true;
            const auto name = xml.name();
            if (name == u"row") {
                const QXmlStreamAttributes attrs = xml.attributes();
                if (const QXmlStreamAttribute* r = findAttr(attrs, QLatin1StringView("r"))) {
                    bool ok = false;
                    row = r->value().toInt(&ok);
                    if (!ok || row < 1 || row > Workbook::kMaxRow) {
                        x.fail(QStringLiteral("its row number \"%1\" is not valid")
                                   .arg(r->value().left(20)));
                        return false;
                    }
                } else if ((row = lastRow + 1) > Workbook::kMaxRow) {
                    x.fail(QStringLiteral("it has more rows than a worksheet can hold"));
                    return false;
                }
                lastRow = row;
                column = 0;
            } else if (name == u"c") {
                const QXmlStreamAttributes attrs = xml.attributes();
                int r = row == 0 ? lastRow + 1 : row;
                int c = column + 1;
                if (const QXmlStreamAttribute* ref = findAttr(attrs, QLatin1StringView("r"))) {
                    if (!parseRef(ref->value(), &r, &c)) {
                        x.fail(QStringLiteral("its cell reference \"%1\" is not valid")
                                   .arg(ref->value().left(20)));
                        return false;
                    }
                }
                if (c > Workbook::kMaxColumn || r > Workbook::kMaxRow) {
                    x.fail(
                        QStringLiteral("row %1 has more cells than a worksheet can hold").arg(r));
                    return false;
                }
                column = c;
                return readCell(x, attrs, r, c);
            }
            return true;
        });
    }

    // Reads one <c> element (the reader stands on its start).
    bool readCell(SafeXml& x, const QXmlStreamAttributes& attrs, int row, int column) {
        auto& xml = x.xml();
        const QStringView type = attr(attrs, QLatin1StringView("t"));
        const DateParts parts = formatParts(attr(attrs, QLatin1StringView("s")));
        const bool keep = row <= limits_.maxRows && column <= limits_.maxColumns;
        const int depth = x.depth();
        QString& v = valueText_;
        QString& inline_ = inlineText_;
        v.clear();
        inline_.clear();
        bool inV = false, inT = false, inPhonetic = false, hasInline = false;
        while (x.next()) {
            if (xml.isEndElement() && x.depth() < depth) break;  // </c>
            if (xml.isStartElement()) {
                const auto n = xml.name();
                if (n == u"v")
                    inV = true;
                else if (n == u"is")
                    hasInline = true;
                else if (n == u"rPh")
                    inPhonetic = true;  // pronunciation guide, not shown
                else if (n == u"t")
                    inT = hasInline && !inPhonetic;
            } else if (xml.isEndElement()) {
                const auto n = xml.name();
                if (n == u"v")
                    inV = false;
                else if (n == u"rPh")
                    inPhonetic = false;
                else if (n == u"t")
                    inT = false;
            } else if (keep && (inV || inT)) {
                if (!appendCapped(inV ? v : inline_, xml.text(), limits_.maxCellChars)) {
                    x.fail(QStringLiteral("cell %1 holds more than %2 characters")
                               .arg(cellName(row, column))
                               .arg(limits_.maxCellChars));
                    return false;
                }
            }
        }
        if (!x.error().isEmpty() || !keep) return x.error().isEmpty();

        CellValue value;
        if (type == u"s") {
            bool ok = false;
            const qlonglong index = QStringView(v).trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index > std::numeric_limits<qint32>::max()) {
                x.fail(QStringLiteral("cell %1 refers to a shared string that does not exist "
                                      "(index \"%2\")")
                           .arg(cellName(row, column), v.left(20)));
                return false;
            }
            StoredCell& cell = sheet_->at(row, column);
            cell = StoredCell{{CellKind::String, QString(), 0}, false, qint32(index)};
            wanted_.push_back(qint32(index));  // filled in from the shared strings
            return true;
        } else if (type == u"inlineStr") {
            value = {CellKind::String, decodeEscapes(inline_), 0};
        } else if (type == u"str" || type == u"e") {
            value = {CellKind::String, decodeEscapes(v), 0};
        } else if (type == u"b") {
            const QStringView b = QStringView(v).trimmed();
            if (!truthy(b) && b != u"0" && b != u"false") {
                x.fail(QStringLiteral("cell %1 holds \"%2\" where a true/false value belongs")
                           .arg(cellName(row, column), v.left(20)));
                return false;
            }
            value = {CellKind::Bool, truthy(b) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"),
                     truthy(b) ? 1.0 : 0.0};
        } else if (type == u"d") {
            value = isoDateValue(v.trimmed(), parts);
        } else if (!v.isEmpty()) {  // a number ("n" or no type)
            bool ok = false;
            const double number = QLocale::c().toDouble(QStringView(v).trimmed(), &ok);
            if (!ok || !std::isfinite(number)) {
                x.fail(QStringLiteral("cell %1 holds \"%2\" where a number belongs")
                           .arg(cellName(row, column), v.left(20)));
                return false;
            }
            if (const auto date = serialText(number, parts, pkg_.date1904))
                value = {CellKind::Date, *date, number};
            else
                value = {CellKind::Number, numberText(number), number};
        }
        // A later cell at the same place wins over an earlier one.
        if (value.kind == CellKind::Empty)
            sheet_->cells.erase(Sheet::key(row, column));
        else
            sheet_->at(row, column) = StoredCell{value, false};
        return true;
    }

    // A cell of type "d" holds an ISO 8601 date, time or both.
    static CellValue isoDateValue(const QString& iso, DateParts parts) {
        const QDateTime dt = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (dt.isValid()) {
            const bool showTime = parts == kNoDate ? dt.time() != QTime(0, 0) : (parts & kTimePart);
            const bool showDate = parts == kNoDate || (parts & kDatePart);
            QString text = showDate ? dt.date().toString(u"yyyy/MM/dd") : QString();
            if (showTime) {
                if (showDate) text += u' ';
                text += dt.time().toString(u"hh:mm");
            }
            return {CellKind::Date, text, 0};
        }
        const QDate d = QDate::fromString(iso, Qt::ISODate);
        if (d.isValid()) return {CellKind::Date, d.toString(u"yyyy/MM/dd"), 0};
        const QTime t = QTime::fromString(iso, Qt::ISODateWithMs);
        if (t.isValid()) return {CellKind::Date, t.toString(u"hh:mm"), 0};
        return {CellKind::String, iso, 0};
    }

    // Keeps only the shared strings that kept cells use, and stops after
    // the last one of them.
    bool readSharedStrings(QString* error) {
        std::sort(wanted_.begin(), wanted_.end());
        wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
        std::vector<QString> texts(wanted_.size());
        size_t next = 0;  // the next wanted index, in increasing order
        if (zip_.contains(pkg_.stringsPath)) {
            qint64 index = -1;
            bool collecting = false, inT = false, inPhonetic = false;
            QString text;
            const bool ok = parse(pkg_.stringsPath, error, [&](SafeXml& x) {
                auto& xml = x.xml();
                if (xml.isStartElement()) {
                    const auto n = xml.name();
                    if (n == u"si") {
                        if (++index > wanted_.back()) return false;  // nothing further is needed
                        collecting = index == wanted_[next];
                        text.clear();
                    } else if (n == u"rPh") {
                        inPhonetic = true;
                    } else if (n == u"t") {
                        inT = !inPhonetic;
                    }
                } else if (xml.isEndElement()) {
                    const auto n = xml.name();
                    if (n == u"si" && collecting) {
                        texts[next++] = decodeEscapes(text);
                        collecting = false;
                    } else if (n == u"rPh") {
                        inPhonetic = false;
                    } else if (n == u"t") {
                        inT = false;
                    }
                } else if (collecting && inT &&
                           !appendCapped(text, xml.text(), limits_.maxCellChars)) {
                    x.fail(QStringLiteral("its shared string %1 holds more than %2 characters")
                               .arg(index)
                               .arg(limits_.maxCellChars));
                    return false;
                }
                return true;
            });
            if (!ok) return false;
        }
        // Entries from `next` on were never found. Report the first cell (in
        // row-major order) that uses one of them.
        std::vector<quint64> order;
        for (const auto& [key, cell] : sheet_->cells)
            if (cell.sharedString >= 0) order.push_back(key);
        std::sort(order.begin(), order.end());
        for (const quint64 key : order) {
            StoredCell& cell = sheet_->cells[key];
            const auto at = std::lower_bound(wanted_.begin(), wanted_.end(), cell.sharedString);
            const size_t i = size_t(at - wanted_.begin());
            if (i >= next) {
                *error = QStringLiteral(
                             "cell %1 refers to a shared string that does not exist "
                             "(index %2)")
                             .arg(cellName(Sheet::rowOf(key), Sheet::columnOf(key)))
                             .arg(cell.sharedString);
                return false;
            }
            cell.value.text = texts[i];
            cell.sharedString = -1;
        }
        return true;
    }

    PartReader zip_;
    ReadLimits limits_;
    Sheet* sheet_;
    Package pkg_;
    std::vector<qint32> wanted_;      // shared strings used by kept cells
    QString valueText_, inlineText_;  // reused for every cell
};

}  // namespace

bool readXlsx(const QByteArray& bytes, const ReadLimits& limits, Sheet* sheet, QString* error) {
    XlsxReader reader(bytes, limits, sheet);
    return reader.run(error);
}

}  // namespace office::detail
