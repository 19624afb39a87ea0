#pragma once
// Every defence against hostile workbook files lives here (internal to the
// office layer). The readers see parts of a zip archive only through
// PartReader and XML only through SafeXml.
//
// Failure classes these guard against, all seen in the wild:
// - zip bombs: parts inflating to hundreds of MiB. The bytes are counted as
//   they come out of the inflater (the sizes written in the archive are not
//   trusted) and reading stops at a budget for the whole archive and at an
//   inflate ratio per part.
// - entity expansion ("billion laughs") and external entities: a part with a
//   document type declaration is refused before any entity is declared.
// - deep nesting: refused past a fixed depth.
// - size claims (<dimension>, count, uniqueCount): never read by the
//   readers; they size nothing from what a file says.

#include <memory>
#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

class QuaZip;

namespace office::detail {

class PartDevice;

class PartReader {
public:
    // `archive` must outlive the reader.
    PartReader(const QByteArray& archive, qint64 maxInflatedBytes);
    ~PartReader();

    // False with a message when the bytes are not a readable zip archive.
    bool open(QString* error);
    bool contains(const QString& name);
    // Opens one part for streaming (one at a time); nullptr with a message
    // when it is missing or damaged. The device fails (read returns -1) once
    // a limit is passed; failure() then says why.
    QIODevice* openPart(const QString& name, QString* error);
    // Why the open part stopped delivering bytes, or empty.
    QString failure() const;
    void closePart();

    // Past this many output bytes a part may inflate at most kMaxRatio times
    // its compressed size. Spreadsheet XML is repetitive but stays far below.
    static constexpr qint64 kRatioFloor = 4 << 20;
    static constexpr qint64 kMaxRatio = 400;

private:
    QBuffer buffer_;
    std::unique_ptr<QuaZip> zip_;
    std::unique_ptr<PartDevice> part_;
    qint64 budget_;
    qint64 used_ = 0;
};

// Reads one untrusted XML part token by token.
class SafeXml {
public:
    SafeXml(QIODevice* device, const QString& partName, const PartReader* zip);

    // The next start element, end element or text; false at the end of the
    // document or on an error (then error() is non-empty).
    bool next();
    QXmlStreamReader& xml() { return xml_; }
    const QString& error() const { return error_; }
    int depth() const { return depth_; }
    // Sets a failure found by the caller (first one wins).
    void fail(const QString& why);

    static constexpr int kMaxDepth = 64;

private:
    QXmlStreamReader xml_;
    QString part_;
    const PartReader* zip_;
    QString error_;
    int depth_ = 0;
};

}  // namespace office::detail
