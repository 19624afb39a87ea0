#include "office/untrusted_input.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <algorithm>

namespace office::detail {

// A part of the archive as a sequential device that counts what it inflates.
class PartDevice : public QIODevice {
public:
    PartDevice(QuaZip* zip, qint64* used, qint64 budget)
        : file_(zip), used_(used), budget_(budget) {}

    bool openPart(QString* error) {
        if (!file_.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("its part %1 is damaged").arg(file_.getActualFileName());
            return false;
        }
        compressed_ = std::max<qint64>(file_.csize(), 1);
        return QIODevice::open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    QString failure() const { return failure_; }
    void close() override {
        file_.close();
        QIODevice::close();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (!failure_.isEmpty()) return -1;
        // Never ask for more than the budget has left plus one byte, so an
        // overrun is seen without inflating further.
        const qint64 room = budget_ - *used_ + 1;
        const qint64 n = file_.read(data, std::min(maxSize, std::max<qint64>(room, 1)));
        if (n < 0) {
            failure_ = QStringLiteral("its part %1 is damaged").arg(file_.getActualFileName());
            return -1;
        }
        if (n == 0 && file_.atEnd() && file_.getZipError() != 0) {
            failure_ = QStringLiteral("its part %1 is damaged").arg(file_.getActualFileName());
            return -1;
        }
        produced_ += n;
        *used_ += n;
        if (*used_ > budget_) {
            failure_ = QStringLiteral("it unpacks to more than %1 MiB").arg(budget_ >> 20);
            return -1;
        }
        if (produced_ > PartReader::kRatioFloor &&
            produced_ / compressed_ > PartReader::kMaxRatio) {
            failure_ = QStringLiteral("its part %1 is packed suspiciously tightly (a zip bomb)")
                           .arg(file_.getActualFileName());
            return -1;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QuaZipFile file_;
    qint64* used_;
    qint64 budget_;
    qint64 compressed_ = 1;
    qint64 produced_ = 0;
    QString failure_;
};

PartReader::PartReader(const QByteArray& archive, qint64 maxInflatedBytes)
    : budget_(maxInflatedBytes) {
    buffer_.setData(archive);
}

PartReader::~PartReader() {
    part_.reset();
    if (zip_) zip_->close();
}

bool PartReader::open(QString* error) {
    buffer_.open(QIODevice::ReadOnly);
    zip_ = std::make_unique<QuaZip>(&buffer_);
    zip_->setAutoClose(false);
    if (!zip_->open(QuaZip::mdUnzip)) {
        *error = QStringLiteral("it is not a complete zip archive (damaged or cut short)");
        return false;
    }
    return true;
}

bool PartReader::contains(const QString& name) {
    closePart();
    return zip_->setCurrentFile(name, QuaZip::csInsensitive);
}

QIODevice* PartReader::openPart(const QString& name, QString* error) {
    closePart();
    if (!zip_->setCurrentFile(name, QuaZip::csInsensitive)) {
        *error = QStringLiteral("its part %1 is missing").arg(name);
        return nullptr;
    }
    part_ = std::make_unique<PartDevice>(zip_.get(), &used_, budget_);
    if (!part_->openPart(error)) {
        part_.reset();
        return nullptr;
    }
    return part_.get();
}

QString PartReader::failure() const {
    return part_ ? part_->failure() : QString();
}

void PartReader::closePart() {
    if (part_) {
        part_->close();
        part_.reset();
    }
}

SafeXml::SafeXml(QIODevice* device, const QString& partName, const PartReader* zip)
    : xml_(device), part_(partName), zip_(zip) {
    // No entity a document declares is ever expanded (DTDs are refused
    // below); this only backs that up.
    xml_.setEntityExpansionLimit(0);
}

void SafeXml::fail(const QString& why) {
    if (error_.isEmpty()) error_ = why;
}

bool SafeXml::next() {
    if (!error_.isEmpty()) return false;
    for (;;) {
        const auto token = xml_.readNext();
        switch (token) {
            case QXmlStreamReader::StartElement:
                if (++depth_ > kMaxDepth) {
                    fail(QStringLiteral("its part %1 is nested too deeply").arg(part_));
                    return false;
                }
                return true;
            case QXmlStreamReader::EndElement:
                --depth_;
                return true;
            case QXmlStreamReader::Characters:
                return true;
            case QXmlStreamReader::DTD:
                fail(QStringLiteral("its part %1 contains a document type declaration, "
                                    "which workbooks never have")
                         .arg(part_));
                return false;
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("its part %1 uses an undeclared entity").arg(part_));
                return false;
            case QXmlStreamReader::EndDocument:
                return false;
            case QXmlStreamReader::Invalid: {
                const QString limit = zip_ ? zip_->failure() : QString();
                if (!limit.isEmpty())
                    fail(limit);
                else
                    fail(QStringLiteral("its part %1 is not valid XML (line %2: %3)")
                             .arg(part_)
                             .arg(xml_.lineNumber())
                             .arg(xml_.errorString()));
                return false;
            }
            default:  // declaration, comments, processing instructions
                continue;
        }
    }
}

}  // namespace office::detail
