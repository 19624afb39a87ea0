#include "link/transfer.h"

#include <algorithm>

#include "link/device_link.h"

Tsend_rec_command::Tsend_rec_command(DeviceLink& link) : link_(link), feedback_(link.feedback) {}

void TTemplate::storeReply(qint32 address, const QByteArray& payload) {
    Address = address;
    const int n = std::min<int>(payload.size(), int(Buffer.size()));
    std::copy(payload.constBegin(), payload.constBegin() + n, Buffer.begin());
}

bool Tsend_rec_command::startRead(quint16 total) {
    if (!link_.admit()) return false;
    plan_.reset();
    PageTotal = total;
    PageNext = 1;
    mode_ = Mode::Reading;
    lastWasWrite_ = false;
    link_.transferStarted(this);
    ReadNext();
    return true;
}

bool Tsend_rec_command::startWrite(quint16 total) {
    if (!link_.admit()) return false;
    if (!prepareWrite()) return false;
    PageTotal = total;
    planChangedPages(total);
    // The last word before anything is written (what the save will change).
    if (link_.beforeWrite && !link_.beforeWrite(this)) return false;
    if (plan_) PageTotal = quint16(plan_->size());
    PageNext = 1;
    mode_ = Mode::Writing;
    lastWasWrite_ = true;
    written_.clear();
    differences_.clear();
    link_.transferStarted(this);
    WriteNext();
    return true;
}

void Tsend_rec_command::planChangedPages(quint16 total) {
    // Only what differs from what the device is known to hold is written;
    // knowing nothing of the device means writing everything.
    plan_.reset();
    if (holds_.isEmpty()) return;
    QVector<int> pages;
    for (int p = 1; p <= total; ++p) {
        const auto planned = plannedPage(p);
        if (!planned) return;
        const auto known = holds_.constFind(planned->first);
        if (known == holds_.constEnd() || *known != planned->second) pages << p;
    }
    plan_ = pages;
}

void Tsend_rec_command::writeAccepted() {
    const auto it = written_.constFind(Address);
    if (it != written_.constEnd()) holds_.insert(Address, *it);
    WriteNext();
}

void Tsend_rec_command::ReadNext() {
    if (mode_ == Mode::Verifying) {
        verifyNext();
        return;
    }
    if (mode_ != Mode::Reading) return;
    if (PageNext <= PageTotal) {
        ReadPage(pageAt(PageNext));
        ++PageNext;
    } else {
        finish(OpOutcome::Ok);
    }
}

void Tsend_rec_command::WriteNext() {
    if (mode_ != Mode::Writing) return;
    if (PageNext <= PageTotal) {
        beforeWritePage(pageAt(PageNext));
        if (!WritePage(pageAt(PageNext))) {
            finish(OpOutcome::CheckFailed);
            return;
        }
        ++PageNext;
    } else if (link_.verifyWrites && !written_.isEmpty()) {
        // Read every written page back before the save is called a success.
        mode_ = Mode::Verifying;
        PageNext = 1;
        verifyNext();
    } else {
        finish(OpOutcome::Ok);
    }
}

void Tsend_rec_command::handleReadReply() {
    if (mode_ != Mode::Idle)
        holds_.insert(Address, heldForm(QByteArray(reinterpret_cast<const char*>(Buffer.data()),
                                                   int(Buffer.size()))));
    if (mode_ == Mode::Verifying)
        verifyPage();
    else if (mode_ == Mode::Reading)
        DecodePage();
}

void Tsend_rec_command::verifyNext() {
    if (PageNext <= PageTotal) {
        ReadPage(pageAt(PageNext));
        ++PageNext;
        return;
    }
    finish(differences_.isEmpty() ? OpOutcome::Ok : OpOutcome::Mismatch);
}

void Tsend_rec_command::verifyPage() {
    const auto it = written_.constFind(Address);
    if (it != written_.constEnd()) {
        const QByteArray read(reinterpret_cast<const char*>(Buffer.data()), int(Buffer.size()));
        if (read != *it) {
            // Written pages are kept by address, so in the order of the save.
            const int page = pageAt(int(std::distance(written_.constBegin(), it)) + 1);
            differences_ << describeDifferences(page, *it, read);
        }
    }
    verifyNext();
}

void Tsend_rec_command::finish(OpOutcome outcome) {
    if (mode_ == Mode::Idle) return;
    mode_ = Mode::Idle;
    if (outcome == OpOutcome::Ok) {
        if (lastWasWrite_)
            writeFinished();
        else
            readFinished();
    }
    link_.transferEnded(this, outcome);
}

QStringList Tsend_rec_command::describeDifferences(int page, const QByteArray& written,
                                                   const QByteArray& read) const {
    QStringList offsets;
    for (int i = 0; i < std::min(written.size(), read.size()); ++i)
        if (written[i] != read[i]) offsets << QString::number(i);
    return {QStringLiteral("page %1: bytes %2").arg(page).arg(offsets.join(QLatin1Char(',')))};
}

void Tsend_rec_command::sendRead(qint32 address, const QString& statusText) {
    link_.sendRequest(TDataPackage::request(cmd::ReadBlock, address), statusText,
                      Exchange::Kind::Page, this);
}

void Tsend_rec_command::sendWrite(qint32 address, const QString& statusText) {
    if (mode_ == Mode::Writing) {
        written_.insert(
            address, QByteArray(reinterpret_cast<const char*>(Buffer.data()), int(Buffer.size())));
        holds_.remove(address);  // unknown until the device says yes
    }
    link_.sendRequest(
        TDataPackage::request(cmd::WriteBlock, address, Buffer.data(), int(Buffer.size())),
        statusText, Exchange::Kind::Page, this);
}
