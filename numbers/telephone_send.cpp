#include "numbers/telephone_send.h"

#include "link/device_link.h"
#include "numbers/number_record.h"

void TtelephoneSend::ReadPage(int page) {
    sendRead(numrec::pageAddress(page), QStringLiteral("Reading telephone number information"));
}

bool TtelephoneSend::WritePage(int page) {
    if (page < 1 || page > pages_.size()) return false;
    const QByteArray& bytes = pages_[page - 1];
    std::copy(bytes.constBegin(), bytes.constEnd(), Buffer.begin());
    sendWrite(numrec::pageAddress(page), QStringLiteral("Save list"));
    return true;
}

void TtelephoneSend::DecodePage() {
    // The link hands over whole blocks only: a short reply is asked for again,
    // never decoded over what an earlier page left in Buffer.
    const int page = numrec::pageOfAddress(Address);
    grid_.setRows(numrec::firstRowOfPage(page), numrec::decodePage(Buffer.data()), numrec::Number);
    ReadNext();
}

bool TtelephoneSend::CheckList() {
    const QString report = numrec::checkListMessage(grid_);
    if (!report.isEmpty()) {
        feedback_.prompts.inform(report);
        return false;
    }
    const QString refusal = numrec::unsendableNumberMessage(grid_);
    if (!refusal.isEmpty()) {
        feedback_.prompts.message(refusal);
        return false;
    }
    return true;
}

void TtelephoneSend::btn10Click() {
    if (link_.busy()) {
        link_.admit();
        return;
    }
    if (!feedback_.prompts.confirm(
            QStringLiteral("Read the Authorized number list from GSM device to PC software?")))
        return;
    startRead(Pages);
}

bool TtelephoneSend::btn9Click() {
    if (link_.busy()) {
        link_.admit();
        return false;
    }
    return CheckList() && startWrite(Pages);
}

bool TtelephoneSend::prepareWrite() {
    // Every page is built before the first is sent: a cell that cannot be
    // converted must not leave the device with half a new list.
    QVector<QByteArray> pages(Pages, QByteArray(numrec::PageSize, '\0'));
    for (int p = 1; p <= Pages; ++p) {
        const QString error =
            numrec::encodePage(grid_, p, reinterpret_cast<quint8*>(pages[p - 1].data()));
        if (!error.isEmpty()) {
            feedback_.prompts.message(error);
            return false;
        }
    }
    pages_ = std::move(pages);
    return true;
}

std::optional<std::pair<qint32, QByteArray>> TtelephoneSend::plannedPage(int page) const {
    if (page < 1 || page > pages_.size()) return std::nullopt;
    return std::make_pair(numrec::pageAddress(page), pages_[page - 1]);
}

QByteArray TtelephoneSend::heldForm(const QByteArray& read) const {
    // Records do not depend on their slot: page 1 of a small grid will do.
    TextGrid rows(8, 1 + numrec::RecordsPerPage);
    rows.setRows(1, numrec::decodePage(reinterpret_cast<const quint8*>(read.constData())),
                 numrec::Number);
    QByteArray out(numrec::PageSize, '\0');
    if (!numrec::encodePage(rows, 1, reinterpret_cast<quint8*>(out.data())).isEmpty()) return read;
    return out;
}

QString TtelephoneSend::successText() const {
    return lastChainWasWrite()
               ? QStringLiteral("Authorized number list saved success")
               : QStringLiteral("Authorized number list read to PC software success.");
}

void TtelephoneSend::fillStartContents(TextGrid& grid) {
    numrec::fillStartContents(grid);
}

QStringList TtelephoneSend::describeDifferences(int page, const QByteArray& written,
                                                const QByteArray& read) const {
    QStringList out;
    for (int i = 0; i < 8; ++i)
        if (written.mid(32 * i, 32) != read.mid(32 * i, 32))
            out << QStringLiteral("page %1, slot %2").arg(page).arg(8 * (page - 1) + 1 + i);
    return out;
}
