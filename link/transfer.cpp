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
    ReadNext();
}

void Tsend_rec_command::startWrite(quint16 total) {
    PageTotal = total;
    PageNext = 1;
    cancelled_ = false;
    WriteNext();
}

void Tsend_rec_command::ReadNext() {
    if (PageNext <= PageTotal) {
        if (cancelled_) {
            link_.transferCancelled(PageNext - 1, PageTotal);
            return;
        }
        ReadPage(PageNext);
        ++PageNext;
    } else if (PageNext == PageTotal + 1) {
        readFinished();
    }
}

void Tsend_rec_command::WriteNext() {
    if (PageNext <= PageTotal) {
        if (cancelled_) {
            link_.transferCancelled(PageNext - 1, PageTotal);
            return;
        }
        beforeWritePage(PageNext);
        if (!WritePage(PageNext)) return;
        ++PageNext;
    } else if (PageNext == PageTotal + 1) {
        writeFinished();
    }
}

void Tsend_rec_command::sendRead(qint32 address, const QString& statusText) {
    link_.sendRequest(TDataPackage::request(cmd::ReadBlock, address), statusText);
}

void Tsend_rec_command::sendWrite(qint32 address, const QString& statusText) {
    link_.sendRequest(TDataPackage::request(cmd::WriteBlock, address, Buffer.data(), int(Buffer.size())),
                      statusText);
}
