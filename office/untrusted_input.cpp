#include "office/untrusted_input.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

namespace office::detail {

// The archive's bytes as a read-only file for minizip.
struct PartReader::Stream {
    const char* data;
    quint64 size;
    quint64 pos = 0;

    static voidpf ZCALLBACK open(voidpf opaque, const void*, int) { return opaque; }
    static uLong ZCALLBACK read(voidpf, voidpf stream, void* buf, uLong size) {
        auto* s = static_cast<Stream*>(stream);
        const quint64 n = std::min<quint64>(size, s->size - s->pos);
        std::memcpy(buf, s->data + s->pos, size_t(n));
        s->pos += n;
        return uLong(n);
    }
    static uLong ZCALLBACK write(voidpf, voidpf, const void*, uLong) { return 0; }
    static ZPOS64_T ZCALLBACK tell(voidpf, voidpf stream) {
        return static_cast<Stream*>(stream)->pos;
    }
    static long ZCALLBACK seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
        auto* s = static_cast<Stream*>(stream);
        quint64 base = 0;
        if (origin == ZLIB_FILEFUNC_SEEK_CUR)
            base = s->pos;
        else if (origin == ZLIB_FILEFUNC_SEEK_END)
            base = s->size;
        if (offset > s->size || base > s->size - offset) return -1;
        s->pos = base + offset;
        return 0;
    }
    static int ZCALLBACK close(voidpf, voidpf) { return 0; }
    static int ZCALLBACK error(voidpf, voidpf) { return 0; }
};

PartReader::PartReader(const QByteArray& archive, qint64 maxInflatedBytes)
    : archive_(archive), budget_(maxInflatedBytes) {}

PartReader::~PartReader() {
    if (zip_) unzClose(zip_);
}

bool PartReader::open(QString* error) {
    stream_ = std::make_unique<Stream>(Stream{archive_.constData(), quint64(archive_.size())});
    zlib_filefunc64_def io{};
    io.zopen64_file = &Stream::open;
    io.zread_file = &Stream::read;
    io.zwrite_file = &Stream::write;
    io.ztell64_file = &Stream::tell;
    io.zseek64_file = &Stream::seek;
    io.zclose_file = &Stream::close;
    io.zerror_file = &Stream::error;
    io.opaque = stream_.get();
    zip_ = unzOpen2_64("workbook", &io);
    if (!zip_) {
        *error = QStringLiteral("it is not a complete zip archive (damaged or cut short)");
        return false;
    }
    // One pass over the central directory; parts are then found by name.
    // An entry takes at least 46 bytes there, so the walk ends with the file.
    char name[1024];
    int count = 0;
    for (int rc = unzGoToFirstFile(zip_); rc == UNZ_OK; rc = unzGoToNextFile(zip_)) {
        if (++count > kMaxParts) {
            *error = QStringLiteral("its archive lists more than %1 parts").arg(kMaxParts);
            return false;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            break;
        if (info.size_filename >= sizeof name) continue;  // no workbook part has such a name
        unz64_file_pos pos{};
        if (unzGetFilePos64(zip_, &pos) != UNZ_OK) break;
        const QString key = QString::fromUtf8(name, qsizetype(info.size_filename)).toLower();
        if (!parts_.contains(key)) parts_.insert(key, {pos.pos_in_zip_directory, pos.num_of_file});
    }
    return true;
}

bool PartReader::contains(const QString& name) const {
    return parts_.contains(name.toLower());
}

bool PartReader::readPart(const QString& name, RawSink sink, void* context, QString* error) {
    const auto found = parts_.constFind(name.toLower());
    if (found == parts_.cend()) {
        *error = QStringLiteral("its part %1 is missing").arg(name);
        return false;
    }
    const QString damaged = QStringLiteral("its part %1 is damaged").arg(name);
    const unz64_file_pos pos{found->first, found->second};
    unz_file_info64 info{};
    if (unzGoToFilePos64(zip_, &pos) != UNZ_OK ||
        unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        *error = damaged;
        return false;
    }
    if (info.flag & 1) {
        *error = QStringLiteral("its part %1 is encrypted").arg(name);
        return false;
    }
    if (unzOpenCurrentFile(zip_) != UNZ_OK) {
        *error = damaged;
        return false;
    }
    // The compressed size is the archive's claim; it cannot exceed the file.
    const qint64 compressed =
        std::max<qint64>(1, qint64(std::min<quint64>(info.compressed_size, archive_.size())));
    qint64 produced = 0;
    bool ok = true, finished = false;
    static constexpr int kChunk = 64 << 10;
    char chunk[kChunk];
    while (ok) {
        // Never ask for more than the budget has left plus one byte, so an
        // overrun is seen without inflating further.
        const qint64 room = budget_ - used_ + 1;
        const int n = unzReadCurrentFile(zip_, chunk, unsigned(std::min<qint64>(kChunk, room)));
        if (n < 0) {
            *error = damaged;
            ok = false;
            break;
        }
        if (n == 0) {
            finished = true;
            break;
        }
        produced += n;
        used_ += n;
        if (used_ > budget_) {
            *error = QStringLiteral("it unpacks to more than %1 MiB").arg(budget_ >> 20);
            ok = false;
        } else if (produced > kRatioFloor && produced / compressed > kMaxRatio) {
            *error =
                QStringLiteral("its part %1 is packed suspiciously tightly (a zip bomb)").arg(name);
            ok = false;
        } else if (!sink(context, chunk, n)) {
            break;  // the reader has what it needs
        }
    }
    // Closing after the whole part checks its CRC.
    const int closed = unzCloseCurrentFile(zip_);
    if (ok && finished && closed != UNZ_OK) {
        *error = damaged;
        ok = false;
    }
    return ok;
}

// --- XML ------------------------------------------------------------------

void XmlHandler::fail(const QString& why) {
    if (error_.isEmpty()) error_ = why;
    if (parser_) XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

void XmlHandler::stop() {
    stopped_ = true;
    if (parser_) XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

std::string_view XmlHandler::localName(const char* name) {
    const char* local = name;
    const char* p = name;
    for (; *p; ++p)
        if (*p == ':') local = p + 1;
    return std::string_view(local, size_t(p - local));
}

const char* XmlHandler::attribute(const char** attributes, std::string_view name) {
    for (const char** a = attributes; *a; a += 2)
        if (localName(a[0]) == name) return a[1];
    return nullptr;
}

struct SafeXml::Context {
    XmlHandler* handler;
    QString part;

    static Context* of(void* data) { return static_cast<Context*>(data); }
    QString doctype() const {
        return QStringLiteral(
                   "its part %1 contains a document type declaration, "
                   "which workbooks never have")
            .arg(part);
    }
};

void SafeXml::onStart(void* data, const char* name, const char** attributes) {
    Context* c = Context::of(data);
    XmlHandler* h = c->handler;
    if (h->depth_ >= kMaxDepth) {
        h->fail(QStringLiteral("its part %1 is nested too deeply").arg(c->part));
        return;
    }
    ++h->depth_;
    h->start(XmlHandler::localName(name), attributes);
}

void SafeXml::onEnd(void* data, const char* name) {
    XmlHandler* h = Context::of(data)->handler;
    --h->depth_;
    h->end(XmlHandler::localName(name));
}

void SafeXml::onText(void* data, const char* text, int size) {
    Context::of(data)->handler->text(text, size);
}

void SafeXml::onDoctype(void* data, const char*, const char*, const char*, int) {
    Context::of(data)->handler->fail(Context::of(data)->doctype());
}

void SafeXml::onEntity(void* data, const char*, int, const char*, int, const char*, const char*,
                       const char*, const char*) {
    Context::of(data)->handler->fail(Context::of(data)->doctype());
}

bool SafeXml::parse(PartReader& zip, const QString& name, XmlHandler& handler, QString* error) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        *error = QStringLiteral("there is not enough memory to read it");
        return false;
    }
    Context context{&handler, name};
    handler.parser_ = parser;
    handler.error_.clear();
    handler.stopped_ = false;
    handler.depth_ = 0;
    XML_SetUserData(parser, &context);
    XML_SetElementHandler(parser, &onStart, &onEnd);
    XML_SetCharacterDataHandler(parser, &onText);
    XML_SetStartDoctypeDeclHandler(parser, &onDoctype);
    XML_SetEntityDeclHandler(parser, &onEntity);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);

    auto invalid = [&] {
        return QStringLiteral("its part %1 is not valid XML (line %2: %3)")
            .arg(name)
            .arg(XML_GetCurrentLineNumber(parser))
            .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser))));
    };
    QString xmlError;
    const bool read = zip.read(
        name,
        [&](const char* data, int size) {
            if (XML_Parse(parser, data, size, XML_FALSE) == XML_STATUS_OK) return true;
            if (handler.error_.isEmpty() && !handler.stopped_) xmlError = invalid();
            return false;
        },
        error);
    bool ok = read && xmlError.isEmpty() && handler.error_.isEmpty();
    if (ok && !handler.stopped_ && XML_Parse(parser, nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
        if (handler.error_.isEmpty() && !handler.stopped_) xmlError = invalid();
        ok = false;
    }
    if (!handler.error_.isEmpty())
        *error = handler.error_;
    else if (!xmlError.isEmpty())
        *error = xmlError;
    if (!handler.error_.isEmpty() || !xmlError.isEmpty()) ok = false;
    handler.parser_ = nullptr;
    XML_ParserFree(parser);
    return ok;
}

}  // namespace office::detail
