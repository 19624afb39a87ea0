#include "numbers/telephone_send.h"

#include "link/device_link.h"
#include "numbers/number_record.h"

void TtelephoneSend::ReadPage(int page) {
    sendRead(numrec::pageAddress(page), QStringLiteral("Reading telephone number information"));
}

bool TtelephoneSend::WritePage(int page) {
    const QString error = numrec::encodePage(grid_, page, Buffer.data());
    if (!error.isEmpty()) {
        link_.prompts.message(error);
        return false;
    }
    sendWrite(numrec::pageAddress(page), QStringLiteral("Save list"));
    return true;
}

void TtelephoneSend::DecodePage() {
    // A short block would leave the end of Buffer from an earlier reply;
    // decoding it would put another page's numbers into these rows.
    if (link_.validCom.Length < numrec::PageSize) {
        link_.prompts.message(QStringLiteral("Number list data error"));
        return;
    }
    const int page = numrec::pageOfAddress(Address);
    grid_.setRows(numrec::firstRowOfPage(page), numrec::decodePage(Buffer.data()), numrec::Number);
    ReadNext();
}

bool TtelephoneSend::CheckList() {
    const QString report = numrec::checkListMessage(grid_);
    if (!report.isEmpty()) {
        link_.prompts.inform(report);
        return false;
    }
    const QString refusal = numrec::unsendableNumberMessage(grid_);
    if (!refusal.isEmpty()) {
        link_.prompts.message(refusal);
        return false;
    }
    return true;
}

void TtelephoneSend::btn10Click() {
    if (!link_.prompts.confirm(
            QStringLiteral("Read the Authorized number list from GSM device to PC software?")))
        return;
    startRead(Pages);
}

void TtelephoneSend::btn9Click() {
    if (CheckList()) startWrite(Pages);
}

void TtelephoneSend::readFinished() {
    link_.prompts.inform(QStringLiteral("Authorized number list read to PC software success."));
}

void TtelephoneSend::writeFinished() {
    link_.prompts.inform(QStringLiteral("Authorized number list saved success"));
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
