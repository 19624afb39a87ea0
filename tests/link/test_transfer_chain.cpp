// The paged transfer mechanism: chains, read-back verification of a save,
// cancel, and the end reports that the window and the command line rely on.
#include <QSignalSpy>
#include <QtTest>

#include "fake_port.h"
#include "link/device_link.h"
#include "recording_prompts.h"

namespace {

// Three pages in the number range, each filled with its page number.
class ThreePages : public Tsend_rec_command {
public:
    using Tsend_rec_command::Tsend_rec_command;
    QList<int> decodedPages;
    void ReadPage(int page) override { sendRead(devaddr::numbersPage(page), "read"); }
    bool WritePage(int page) override {
        Buffer.fill(quint8(page));
        sendWrite(devaddr::numbersPage(page), "write");
        return true;
    }
    void DecodePage() override {
        decodedPages << (Address - 0x1000) / 0x100 + 1;
        ReadNext();
    }
    void readFinished() override { link_.prompts.inform("read done"); }
    void writeFinished() override { link_.prompts.inform("saved"); }
};

// A device holding pages by address; `corrupt` alters what it stores.
struct PageDevice {
    QMap<qint32, QByteArray> pages;
    bool corrupt = false;
    bool silentAfterFirst = false;
    int requests = 0;
    QByteArray answer(const QByteArray& req) {
        ++requests;
        if (silentAfterFirst && requests > 1) return {};
        const quint8 code = quint8(req[1]);
        const qint32 addr = qint32((quint8(req[2]) << 24) | (quint8(req[3]) << 16) |
                                   (quint8(req[4]) << 8) | quint8(req[5]));
        if (code == cmd::WriteBlock) {
            QByteArray page = req.mid(8, 256);
            if (corrupt && addr == devaddr::numbersPage(2)) page[17] = char(page[17] ^ 0x40);
            pages[addr] = page;
            return replyFrame(code, addr, QByteArray(1, 1));
        }
        return replyFrame(code, addr, pages.value(addr, QByteArray(256, char(0xFF))));
    }
};

// The three-page transfer on a link whose port answers from a PageDevice.
struct Rig {
    RecordingPrompts prompts;
    DeviceLink link{prompts};
    ThreePages t{link};
    PageDevice dev;
    FakePort port;
    Rig() {
        link.telephoneSend = &t;
        port.link = &link;
        port.device = [this](const QByteArray& r) { return dev.answer(r); };
        link.port = &port;
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
};

}  // namespace

class TestTransferChain : public QObject {
    Q_OBJECT
private slots:
    void save_withVerify_allMatch_successIsLastMessage() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        link.verifyWrites = true;
        QSignalSpy finished(&link, &DeviceLink::transferFinished);
        t.startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QCOMPARE(prompts.texts(), QStringList{"saved"});
        QCOMPARE(port.sent.size(), 6);  // three writes, three read-backs
        QCOMPARE(quint8(port.sent[3][1]), quint8(cmd::ReadBlock));
        QVERIFY(t.decodedPages.isEmpty());  // read-backs do not touch the grid
        QVERIFY(link.activeTransfer() == nullptr);
    }

    void save_withVerify_deviceStoresOtherBytes_reportsPage() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        dev.corrupt = true;
        link.verifyWrites = true;
        QSignalSpy finished(&link, &DeviceLink::transferFinished);
        t.startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.count("saved"), 0);
        QCOMPARE(prompts.shown.size(), 1);
        QVERIFY(prompts.last().contains("page 2: bytes 17"));
        QCOMPARE(t.verifyDifferences().size(), 1);
    }

    void save_withoutVerify_noReadBack() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        t.startWrite(3);
        QTRY_COMPARE(prompts.texts(), QStringList{"saved"});
        QCOMPARE(port.sent.size(), 3);
    }

    void cancel_midRead_stopsRequests_linkStaysUsable() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        port.device = [&](const QByteArray& r) {
            if (dev.requests == 0) link.cancelActive();  // Esc while page 1 is in flight
            return dev.answer(r);
        };
        QSignalSpy finished(&link, &DeviceLink::transferFinished);
        QSignalSpy running(&link, &DeviceLink::transferRunning);
        t.startRead(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(port.sent.size(), 1);
        QCOMPARE(t.decodedPages, QList<int>{1});
        QCOMPARE(link.bar.statusText(), QString("Stopped after page 1/3"));
        QCOMPARE(running.count(), 2);
        QVERIFY(prompts.texts().isEmpty());
        // The next operation runs normally.
        t.startRead(3);
        QTRY_COMPARE(prompts.texts(), QStringList{"read done"});
        QCOMPARE(t.decodedPages, (QList<int>{1, 1, 2, 3}));
    }

    void timeout_endsTheRunningTransfer() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        link.bar.tmr1.setInterval(50);
        dev.silentAfterFirst = true;
        QSignalSpy finished(&link, &DeviceLink::transferFinished);
        t.startRead(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.texts(), QStringList{"Receive timeout"});
        QVERIFY(link.activeTransfer() == nullptr);
    }

    void replyWithoutChain_requestsNothing() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        feedBytes(link, replyFrame(cmd::ReadBlock, 0x1000, QByteArray(256, 0)));
        feedBytes(link, replyFrame(cmd::WriteBlock, 0x1000, QByteArray(1, 1)));
        QCOMPARE(t.decodedPages, QList<int>{1});
        QVERIFY(port.sent.isEmpty());
        QVERIFY(prompts.texts().isEmpty());
    }

    void refusedWrite_endsTheRunningTransfer() {
        Rig rig;
        auto& [prompts, link, t, dev, port] = rig;
        port.device = [&](const QByteArray& r) {
            return replyFrame(cmd::WriteBlock, devaddr::numbersPage(1), QByteArray(1, 0));
        };
        QSignalSpy finished(&link, &DeviceLink::transferFinished);
        t.startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.texts(), QStringList{"Number list data error"});
        QCOMPARE(port.sent.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTransferChain)
#include "test_transfer_chain.moc"
