// Reads the active worksheet of an .xlsx archive into a Sheet.
//
// Parts are read in this order, each streamed once: xl/workbook.xml (date
// system, sheet order, active sheet), its relationships (where the
// worksheets, the styles and the shared strings are), the styles (which cell
// formats show dates or times), the worksheet (only the cells inside the
// requested rows and columns are kept; shared strings are noted by index) and
// last the shared strings, of which only the entries those cells use are
// kept. Nothing is sized from the counts or the <dimension> a file claims.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <string>
#include <vector>

#include "office/cell_text.h"
#include "office/readers.h"
#include "office/untrusted_input.h"

namespace office::detail {
namespace {

using Attributes = const char**;

const char* attr(Attributes attributes, std::string_view name) {
    return XmlHandler::attribute(attributes, name);
}

QString qs(const char* utf8) {
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

bool truthy(std::string_view v) {
    return v == "1" || v == "true";
}

std::string_view trimmed(std::string_view v) {
    while (!v.empty() &&
           (v.front() == ' ' || v.front() == '\t' || v.front() == '\n' || v.front() == '\r'))
        v.remove_prefix(1);
    while (!v.empty() &&
           (v.back() == ' ' || v.back() == '\t' || v.back() == '\n' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

// A whole decimal number without sign; false when it is none or too large.
bool parseCount(std::string_view v, qint64 limit, qint64* out) {
    v = trimmed(v);
    if (v.empty() || v.size() > 18) return false;
    qint64 n = 0;
    for (char ch : v) {
        if (ch < '0' || ch > '9') return false;
        n = n * 10 + (ch - '0');
    }
    if (n > limit) return false;
    *out = n;
    return true;
}

// "BC12" -> (12, 55). False when it is not a cell reference in range.
bool parseRef(std::string_view ref, int* row, int* column) {
    size_t i = 0;
    int col = 0;
    while (i < ref.size() && i < 3 && std::isalpha(static_cast<unsigned char>(ref[i]))) {
        col = col * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size() || ref.size() - i > 7) return false;
    int r = 0;
    for (size_t k = i; k < ref.size(); ++k) {
        if (ref[k] < '0' || ref[k] > '9') return false;
        r = r * 10 + (ref[k] - '0');
    }
    if (r < 1 || r > Workbook::kMaxRow || col < 1 || col > Workbook::kMaxColumn) return false;
    *row = r;
    *column = col;
    return true;
}

// At most `n` characters of a raw attribute or text, for messages.
QString shown(std::string_view v, int n = 20) {
    return QString::fromUtf8(v.data(), qsizetype(v.size())).left(n);
}

struct Relationship {
    QString type;
    QString target;
};

struct SheetEntry {
    QString id;  // r:id
};

struct Package {
    bool date1904 = false;
    std::vector<SheetEntry> sheets;  // in order
    qint64 activeTab = -1;           // index into sheets; -1: none marked
    QHash<QString, Relationship> relationships;
    QString sheetPath, stylesPath, stringsPath;
    std::vector<DateParts> xfParts;  // per cell format index
};

// Workbooks list at most a few hundred sheets and relationships.
constexpr int kMaxListed = 4096;
// Excel allows about 64000 cell formats.
constexpr int kMaxCellFormats = 65536;
// Raw text may hold up to 7 bytes ("_x0000_") per character it stands for.
constexpr int kRawBytesPerChar = 7;

// Runs a lambda-based handler over one part.
template <typename Start, typename End = std::nullptr_t, typename Text = std::nullptr_t>
class Handler : public XmlHandler {
public:
    Handler(Start s, End e = nullptr, Text t = nullptr) : start_(s), end_(e), text_(t) {}
    void start(std::string_view name, const char** a) override { start_(*this, name, a); }
    void end(std::string_view name) override {
        if constexpr (!std::is_same_v<End, std::nullptr_t>) end_(*this, name);
    }
    void text(const char* d, int n) override {
        if constexpr (!std::is_same_v<Text, std::nullptr_t>) text_(*this, d, n);
    }

private:
    Start start_;
    End end_;
    Text text_;
};

class XlsxReader : public XmlHandler {
public:
    XlsxReader(const QByteArray& bytes, const ReadLimits& limits, Sheet* sheet)
        : zip_(bytes, limits.maxInflatedBytes),
          limits_(limits),
          sheet_(sheet),
          rawCap_(size_t(limits.maxCellChars) * kRawBytesPerChar) {}

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
        if (!SafeXml::parse(zip_, pkg_.sheetPath, *this, error)) return false;
        if (!wanted_.empty() && !readSharedStrings(error)) return false;
        return true;
    }

private:
    bool readWorkbookPart(QString* error) {
        bool firstView = true;
        Handler h([&](XmlHandler&, std::string_view n, Attributes a) {
            if (n == "workbookPr") {
                const char* v = attr(a, "date1904");
                pkg_.date1904 = v && truthy(v);
            } else if (n == "sheet" && pkg_.sheets.size() < size_t(kMaxListed)) {
                pkg_.sheets.push_back({qs(attr(a, "id"))});
            } else if (n == "workbookView" && firstView) {
                // The sheet a spreadsheet program shows when it opens the file.
                firstView = false;
                qint64 tab = 0;
                if (const char* v = attr(a, "activeTab"); v && parseCount(v, kMaxListed, &tab))
                    pkg_.activeTab = tab;
            }
        });
        return SafeXml::parse(zip_, QStringLiteral("xl/workbook.xml"), h, error);
    }

    bool readRelationships(QString* error) {
        Handler h([&](XmlHandler&, std::string_view n, Attributes a) {
            if (n != "Relationship" || pkg_.relationships.size() >= kMaxListed) return;
            const char* mode = attr(a, "TargetMode");
            if (mode && std::strcmp(mode, "External") == 0) return;
            pkg_.relationships.insert(qs(attr(a, "Id")),
                                      {qs(attr(a, "Type")), qs(attr(a, "Target"))});
        });
        return SafeXml::parse(zip_, QStringLiteral("xl/_rels/workbook.xml.rels"), h, error);
    }

    // A relationship target as a part name ("worksheets/sheet1.xml" ->
    // "xl/worksheets/sheet1.xml"); empty when it points outside the archive.
    static QString partName(const QString& target) {
        QString path = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
        path = QDir::cleanPath(path);
        if (path.startsWith(u"../") || path == u".." || path.isEmpty()) return {};
        return path;
    }

    // The worksheet part of sheet `index`, or empty when it is no worksheet
    // (a chart sheet holds no cells) or lies outside the archive.
    QString worksheetPath(size_t index) const {
        if (index >= pkg_.sheets.size()) return {};
        const auto rel = pkg_.relationships.constFind(pkg_.sheets[index].id);
        if (rel == pkg_.relationships.cend() || !rel->type.endsWith(u"/worksheet")) return {};
        return partName(rel->target);
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
        // The active sheet when it is a worksheet, else the first listed
        // worksheet.
        QString path;
        if (pkg_.activeTab >= 0) path = worksheetPath(size_t(pkg_.activeTab));
        for (size_t i = 0; path.isEmpty() && i < pkg_.sheets.size(); ++i) path = worksheetPath(i);
        if (!path.isEmpty()) pkg_.sheetPath = path;
    }

    bool readStyles(QString* error) {
        QHash<int, DateParts> custom;
        bool inCellXfs = false;
        Handler h(
            [&](XmlHandler&, std::string_view n, Attributes a) {
                qint64 id = 0;
                const char* idText = attr(a, "numFmtId");
                const bool ok = idText && parseCount(idText, 1 << 30, &id);
                if (n == "numFmt") {
                    if (ok && custom.size() < kMaxCellFormats)
                        custom.insert(int(id), customFormatParts(qs(attr(a, "formatCode"))));
                } else if (n == "cellXfs") {
                    inCellXfs = true;
                } else if (inCellXfs && n == "xf" &&
                           pkg_.xfParts.size() < size_t(kMaxCellFormats)) {
                    DateParts parts = kNoDate;
                    if (ok)
                        parts = custom.contains(int(id)) ? custom.value(int(id))
                                                         : builtinFormatParts(int(id));
                    pkg_.xfParts.push_back(parts);
                }
            },
            [&](XmlHandler&, std::string_view n) {
                if (n == "cellXfs") inCellXfs = false;
            });
        return SafeXml::parse(zip_, pkg_.stylesPath, h, error);
    }

    DateParts formatParts(const char* styleIndex) const {
        qint64 s = 0;
        if (!styleIndex || !parseCount(styleIndex, kMaxCellFormats, &s) ||
            s >= qint64(pkg_.xfParts.size()))
            return kNoDate;
        return pkg_.xfParts[size_t(s)];
    }

    // --- the worksheet, as the handler of its part ---

    void start(std::string_view name, const char** a) override {
        if (inCell_) {
            if (name == "v")
                inV_ = true;
            else if (name == "is")
                hasInline_ = true;
            else if (name == "rPh")
                inPhonetic_ = true;  // pronunciation guide, not shown
            else if (name == "t")
                inT_ = hasInline_ && !inPhonetic_;
            return;
        }
        if (name == "row") {
            if (const char* r = attr(a, "r")) {
                qint64 n = 0;
                if (!parseCount(r, Workbook::kMaxRow, &n) || n < 1) {
                    fail(QStringLiteral("its row number \"%1\" is not valid").arg(shown(r)));
                    return;
                }
                row_ = int(n);
            } else if ((row_ = lastRow_ + 1) > Workbook::kMaxRow) {
                fail(QStringLiteral("it has more rows than a worksheet can hold"));
                return;
            }
            lastRow_ = row_;
            column_ = 0;
        } else if (name == "c") {
            int r = row_ == 0 ? lastRow_ + 1 : row_;
            int c = column_ + 1;
            // One pass over the attributes: this runs for every cell.
            const char *ref = nullptr, *type = nullptr, *style = nullptr;
            for (const char** at = a; *at; at += 2) {
                const std::string_view n = localName(at[0]);
                if (n.size() != 1) continue;
                if (n[0] == 'r')
                    ref = at[1];
                else if (n[0] == 't')
                    type = at[1];
                else if (n[0] == 's')
                    style = at[1];
            }
            if (ref) {
                if (!parseRef(ref, &r, &c)) {
                    fail(QStringLiteral("its cell reference \"%1\" is not valid").arg(shown(ref)));
                    return;
                }
            }
            if (c > Workbook::kMaxColumn || r > Workbook::kMaxRow) {
                fail(QStringLiteral("row %1 has more cells than a worksheet can hold").arg(r));
                return;
            }
            column_ = c;
            inCell_ = true;
            cellDepth_ = depth();
            cellRow_ = r;
            cellType_ = type ? type : "";
            cellParts_ = formatParts(style);
            keep_ = r <= limits_.maxRows && c <= limits_.maxColumns;
            value_.clear();
            inline_.clear();
            inV_ = inT_ = inPhonetic_ = hasInline_ = false;
        }
    }

    void end(std::string_view name) override {
        if (!inCell_) return;
        if (depth() < cellDepth_) {  // </c>
            inCell_ = false;
            if (keep_) storeCell();
        } else if (name == "v") {
            inV_ = false;
        } else if (name == "rPh") {
            inPhonetic_ = false;
        } else if (name == "t") {
            inT_ = false;
        }
    }

    void text(const char* data, int size) override {
        if (!inCell_ || !keep_ || !(inV_ || inT_)) return;
        std::string& to = inV_ ? value_ : inline_;
        if (to.size() + size_t(size) > rawCap_) {
            tooLong(QStringLiteral("cell %1").arg(cellName(cellRow_, column_)));
            return;
        }
        to.append(data, size_t(size));
    }

    void tooLong(const QString& where, XmlHandler* parser = nullptr) {
        (parser ? parser : this)
            ->fail(QStringLiteral("%1 holds more than %2 characters")
                       .arg(where)
                       .arg(limits_.maxCellChars));
    }

    // The decoded text of a cell or shared string; false when it passes the
    // character limit.
    bool cellText(const std::string& raw, QString* out) const {
        *out = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
        if (raw.find("_x") != std::string::npos) *out = decodeEscapes(*out);
        return out->size() <= limits_.maxCellChars;
    }

    void storeCell() {
        const int row = cellRow_, column = column_;
        const std::string_view type = cellType_;
        CellValue value;
        if (type == "s") {
            qint64 index = 0;
            if (!parseCount(value_, std::numeric_limits<qint32>::max(), &index)) {
                fail(QStringLiteral("cell %1 refers to a shared string that does not exist "
                                    "(index \"%2\")")
                         .arg(cellName(row, column), shown(value_)));
                return;
            }
            sheet_->at(row, column) =
                StoredCell{{CellKind::String, QString(), 0}, false, qint32(index)};
            wanted_.push_back(qint32(index));  // filled in from the shared strings
            return;
        }
        if (type == "inlineStr" || type == "str" || type == "e") {
            QString text;
            if (!cellText(type == "inlineStr" ? inline_ : value_, &text)) {
                tooLong(QStringLiteral("cell %1").arg(cellName(row, column)));
                return;
            }
            value = {CellKind::String, text, 0};
        } else if (type == "b") {
            const std::string_view b = trimmed(value_);
            if (!truthy(b) && b != "0" && b != "false") {
                fail(QStringLiteral("cell %1 holds \"%2\" where a true/false value belongs")
                         .arg(cellName(row, column), shown(value_)));
                return;
            }
            value = {CellKind::Bool, truthy(b) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"),
                     truthy(b) ? 1.0 : 0.0};
        } else if (type == "d") {
            const std::string_view v = trimmed(value_);
            value = isoDateValue(QString::fromUtf8(v.data(), qsizetype(v.size())), cellParts_);
        } else if (!value_.empty()) {  // a number ("n" or no type)
            std::string_view v = trimmed(value_);
            if (!v.empty() && v.front() == '+') v.remove_prefix(1);
            double number = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), number);
            if (v.empty() || ec != std::errc() || end != v.data() + v.size() ||
                !std::isfinite(number)) {
                fail(QStringLiteral("cell %1 holds \"%2\" where a number belongs")
                         .arg(cellName(row, column), shown(value_)));
                return;
            }
            if (const auto date = serialText(number, cellParts_, pkg_.date1904))
                value = {CellKind::Date, *date, number};
            else
                value = {CellKind::Number, numberText(number), number};
        }
        // A later cell at the same place wins over an earlier one.
        if (value.kind == CellKind::Empty)
            sheet_->cells.erase(Sheet::key(row, column));
        else
            sheet_->at(row, column) = StoredCell{value, false};
    }

    // A cell of type "d" holds an ISO 8601 date, time or both. A date at
    // midnight shows as the date alone, as its value does in a spreadsheet.
    static CellValue isoDateValue(const QString& iso, DateParts parts) {
        const QDateTime dt = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (dt.isValid()) {
            const bool showDate = parts == kNoDate || (parts & kDatePart);
            const bool midnight = dt.time().hour() == 0 && dt.time().minute() == 0;
            const bool showTime =
                parts == kNoDate ? !midnight : (parts & kTimePart) && !(showDate && midnight);
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
            int siDepth = 0;
            std::string text;
            Handler h(
                [&](XmlHandler& x, std::string_view n, Attributes) {
                    if (n == "si" && !collecting) {
                        if (++index > wanted_.back()) {
                            x.stop();  // nothing further is needed
                            return;
                        }
                        collecting = index == wanted_[next];
                        siDepth = x.depth();
                        text.clear();
                    } else if (n == "rPh") {
                        inPhonetic = true;
                    } else if (n == "t") {
                        inT = !inPhonetic;
                    }
                },
                [&](XmlHandler& x, std::string_view n) {
                    if (collecting && x.depth() < siDepth) {  // </si>
                        collecting = false;
                        if (!cellText(text, &texts[next])) {
                            tooLong(QStringLiteral("its shared string %1").arg(index), &x);
                            return;
                        }
                        ++next;
                    } else if (n == "rPh") {
                        inPhonetic = false;
                    } else if (n == "t") {
                        inT = false;
                    }
                },
                [&](XmlHandler& x, const char* d, int size) {
                    if (!collecting || !inT) return;
                    if (text.size() + size_t(size) > rawCap_) {
                        tooLong(QStringLiteral("its shared string %1").arg(index), &x);
                        return;
                    }
                    text.append(d, size_t(size));
                });
            if (!SafeXml::parse(zip_, pkg_.stringsPath, h, error)) return false;
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
    size_t rawCap_;
    Package pkg_;
    std::vector<qint32> wanted_;  // shared strings used by kept cells

    // Worksheet state.
    int lastRow_ = 0;  // rows without a number follow the previous row
    int row_ = 0;
    int column_ = 0;  // cells without a reference follow the previous cell
    bool inCell_ = false, keep_ = false;
    int cellDepth_ = 0, cellRow_ = 0;
    std::string cellType_;
    DateParts cellParts_ = kNoDate;
    bool inV_ = false, inT_ = false, inPhonetic_ = false, hasInline_ = false;
    std::string value_, inline_;  // reused for every cell
};

}  // namespace

bool readXlsx(const QByteArray& bytes, const ReadLimits& limits, Sheet* sheet, QString* error) {
    XlsxReader reader(bytes, limits, sheet);
    return reader.run(error);
}

}  // namespace office::detail
