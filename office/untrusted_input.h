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
// - memory: parts are inflated in small chunks straight into the parser,
//   which keeps no document; nothing grows with the size of a part except
//   what the readers choose to keep.
// - size claims (<dimension>, count, uniqueCount): never read by the
//   readers; they size nothing from what a file says.

#include <memory>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <string_view>

namespace office::detail {

class XmlHandler;

class PartReader {
public:
    // `archive` must outlive the reader.
    PartReader(const QByteArray& archive, qint64 maxInflatedBytes);
    ~PartReader();
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;

    // False with a message when the bytes are not a readable zip archive.
    bool open(QString* error);
    // Part names compare without regard to case, as spreadsheet programs do.
    bool contains(const QString& name) const;

    // Inflates part `name` in chunks and hands each to `sink`, which returns
    // false to stop early (that is not a failure). False with a message when
    // the part is missing or damaged or a limit is passed.
    template <typename Sink>
    bool read(const QString& name, Sink&& sink, QString* error) {
        return readPart(
            name,
            [](void* s, char* data, int size) { return (*static_cast<Sink*>(s))(data, size); },
            &sink, error);
    }

    // Past this many output bytes a part may inflate at most kMaxRatio times
    // its compressed size. Spreadsheet XML is repetitive but stays far below.
    static constexpr qint64 kRatioFloor = 4 << 20;
    static constexpr qint64 kMaxRatio = 400;
    // Workbooks hold a few dozen parts; an archive listing more is no workbook.
    static constexpr int kMaxParts = 65536;

private:
    using RawSink = bool (*)(void* sink, char* data, int size);
    bool readPart(const QString& name, RawSink sink, void* context, QString* error);

    struct Stream;
    const QByteArray& archive_;
    std::unique_ptr<Stream> stream_;
    void* zip_ = nullptr;                                // unzFile
    QHash<QString, std::pair<quint64, quint64>> parts_;  // lower-case name -> position
    qint64 budget_;
    qint64 used_ = 0;
};

// Receives the elements and text of one XML part. Names are local names
// (prefixes differ between producers and are dropped); texts are UTF-8
// pieces, possibly split anywhere between characters.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const char** attributes) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(const char* data, int size) = 0;

    // Stops the part with a message for the user (the first one wins).
    void fail(const QString& why);
    // Stops the part early without an error: nothing further is needed.
    void stop();
    int depth() const { return depth_; }

    // The value of the attribute with local name `name`, or nullptr.
    static const char* attribute(const char** attributes, std::string_view name);
    static std::string_view localName(const char* name);

private:
    friend class SafeXml;
    void* parser_ = nullptr;  // XML_Parser
    QString error_;
    bool stopped_ = false;
    int depth_ = 0;
};

// Parses untrusted XML parts with expat, refusing document type
// declarations, nesting past kMaxDepth and any malformed byte.
class SafeXml {
public:
    // Streams part `name` of `zip` through `handler`; false with the reason.
    static bool parse(PartReader& zip, const QString& name, XmlHandler& handler, QString* error);
    static constexpr int kMaxDepth = 64;

private:
    struct Context;
    static void onStart(void* data, const char* name, const char** attributes);
    static void onEnd(void* data, const char* name);
    static void onText(void* data, const char* text, int size);
    static void onDoctype(void* data, const char*, const char*, const char*, int);
    static void onEntity(void* data, const char*, int, const char*, int, const char*, const char*,
                         const char*, const char*);
};

}  // namespace office::detail
