// Replays the assembler's fuzz corpus and hand-made streams through the same
// property the fuzzer checks: every injected reply comes out, in order.
#include <QDir>
#include <QtTest>

#include "../../fuzz/link/assembler_property.h"

class TestAssemblerCorpus : public QObject {
    Q_OBJECT
private slots:
    void corpusFiles_keepTheProperty_data() {
        QTest::addColumn<QByteArray>("input");
        const QDir dir(QStringLiteral(VARNEL_ASSEMBLER_CORPUS));
        for (const QFileInfo& f : dir.entryInfoList(QDir::Files)) {
            QFile file(f.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(f.fileName())) << file.readAll();
        }
        // Streams written by hand: frames among noise and silences.
        QTest::newRow("two frames")
            << QByteArray::fromHex("01830000100000000102850000000000000101");
        QTest::newRow("noise marker then frame")
            << QByteArray::fromHex("000323238301830000100000000100");
        QTest::newRow("full page")
            << QByteArray::fromHex("0183000010000100") + QByteArray(256, char(0x23));
        QTest::newRow("cut frame, silence, frame")
            << QByteArray::fromHex("0005238300001002") +
                   QByteArray::fromHex("01040000000000000102");
    }
    void corpusFiles_keepTheProperty() {
        QFETCH(QByteArray, input);
        const auto r = assembler_property::check(reinterpret_cast<const quint8*>(input.constData()),
                                                 size_t(input.size()));
        QVERIFY2(r.ok, r.why.constData());
    }

    void handMadeStreams_deliverEveryInjectedFrame() {
        const QByteArray input =
            QByteArray::fromHex("0003002323") + QByteArray::fromHex("0183000010000000") +
            QByteArray::fromHex("02") + QByteArray::fromHex("01850000000000000101");
        const auto r = assembler_property::check(reinterpret_cast<const quint8*>(input.constData()),
                                                 size_t(input.size()));
        QVERIFY2(r.ok, r.why.constData());
        QCOMPARE(r.injected, 2);
        QCOMPARE(r.delivered, 2);
    }
};

QTEST_GUILESS_MAIN(TestAssemblerCorpus)
#include "test_assembler_corpus.moc"
