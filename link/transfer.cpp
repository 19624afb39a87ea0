#include "link/transfer.h"

#include <algorithm>

#include "link/device_link.h"

void TTemplate::storeReply(qint32 address, const QByteArray& payload) {
    Address = address;
    const int n = std::min<int>(payload.size(), int(Buffer.size()));
    std::copy(payload.constBegin(), payload.constBegin() + n, Buffer.begin());
}

void Tsend_rec_command::startRead(quint16 total) {
    PageTotal = total;
    PageNext = 1;
    cancelled_ = false;
    mode_ = Mode::Reading;
    lastWasWrite_ = false;
    link_.transferStarted(this);
    ReadNext();
}

void Tsend_rec_command::startWrite(quint16 total) {
    // The last word before anything is written (what the save will change).
    if (link_.beforeWrite && !link_.beforeWrite(this)) return;
    PageTotal = total;
    PageNext = 1;
    cancelled_ = false;
    mode_ = Mode::Writing;
    lastWasWrite_ = true;
    written_.clear();
    differences_.clear();
    link_.transferStarted(this);
    WriteNext();
}

void Tsend_rec_command::ReadNext() {
    if (mode_ == Mode::Verifying) {
        verifyNext();
        return;
    }
    // A reply that arrives when no chain was ever started continues nothing
    // (there is no page 0 to ask for).
    if (PageNext == 0) return;
    if (PageNext <= PageTotal) {
        if (stopIfCancelled()) return;
        ReadPage(PageNext);
        ++PageNext;
    } else if (PageNext == PageTotal + 1) {
        const bool running = mode_ == Mode::Reading;
        mode_ = Mode::Idle;
        readFinished();
        if (running) link_.transferEnded(this, true);
    }
}

void Tsend_rec_command::WriteNext() {
    if (PageNext == 0) return;
    if (PageNext <= PageTotal) {
        if (stopIfCancelled()) return;
        beforeWritePage(PageNext);
        if (!WritePage(PageNext)) {
            end(false);
            return;
        }
        ++PageNext;
    } else if (PageNext == PageTotal + 1) {
        if (link_.verifyWrites && mode_ == Mode::Writing && !written_.isEmpty()) {
            // Read every written page back before the save is called a success.
            mode_ = Mode::Verifying;
            PageNext = 1;
            verifyNext();
            return;
        }
        const bool running = mode_ == Mode::Writing;
        mode_ = Mode::Idle;
        writeFinished();
        if (running) link_.transferEnded(this, true);
    }
}

void Tsend_rec_command::handleReadReply() {
    if (mode_ == Mode::Verifying)
        verifyPage();
    else
        DecodePage();
}

void Tsend_rec_command::verifyNext() {
    if (PageNext <= PageTotal) {
        if (stopIfCancelled()) return;
        ReadPage(PageNext);
        ++PageNext;
        return;
    }
    mode_ = Mode::Idle;
    if (differences_.isEmpty()) {
        // Everything matched: the save's own success message is the last word.
        writeFinished();
        link_.transferEnded(this, true);
    } else {
        QStringList shown = differences_.mid(0, 20);
        if (differences_.size() > 20)
            shown << QStringLiteral("... (%1 more)").arg(differences_.size() - 20);
        link_.prompts.message(
            QStringLiteral("The device does not hold what was saved (%1 difference(s)):\n")
                .arg(differences_.size()) +
            shown.join(QLatin1Char('\n')));
        link_.transferEnded(this, false);
    }
}

void Tsend_rec_command::verifyPage() {
    const auto it = written_.constFind(Address);
    if (it != written_.constEnd()) {
        const QByteArray read(reinterpret_cast<const char*>(Buffer.data()), int(Buffer.size()));
        if (read != *it) {
            const int page = int(std::distance(written_.constBegin(), it)) + 1;
            differences_ << describeDifferences(page, *it, read);
        }
    }
    verifyNext();
}

QStringList Tsend_rec_command::describeDifferences(int page, const QByteArray& written,
                                                   const QByteArray& read) const {
    QStringList offsets;
    for (int i = 0; i < std::min(written.size(), read.size()); ++i)
        if (written[i] != read[i]) offsets << QString::number(i);
    return {QStringLiteral("page %1: bytes %2").arg(page).arg(offsets.join(QLatin1Char(',')))};
}

void Tsend_rec_command::abandon() {
    end(false);
}

bool Tsend_rec_command::stopIfCancelled() {
    if (!cancelled_) return false;
    link_.transferCancelled(PageNext - 1, PageTotal);
    end(false);
    return true;
}

void Tsend_rec_command::end(bool ok) {
    if (mode_ == Mode::Idle) return;
    mode_ = Mode::Idle;
    link_.transferEnded(this, ok);
}

void Tsend_rec_command::sendRead(qint32 address, const QString& statusText) {
    link_.sendRequest(TDataPackage::request(cmd::ReadBlock, address), statusText);
}

void Tsend_rec_command::sendWrite(qint32 address, const QString& statusText) {
    if (mode_ == Mode::Writing)
        written_.insert(
            address, QByteArray(reinterpret_cast<const char*>(Buffer.data()), int(Buffer.size())));
    link_.sendRequest(
        TDataPackage::request(cmd::WriteBlock, address, Buffer.data(), int(Buffer.size())),
        statusText);
}
