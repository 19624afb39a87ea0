// The settings page codec: both page layouts byte for byte, every field
// encoding in both directions, the refused cells, and round trips.
#include <QtTest>

#include "page_bytes.h"
#include "settings/settings_codec.h"
#include "settings/settings_sheet.h"

using settings::Page;

namespace {

Page encoded(int page, const SettingsSheet& sheet) {
    Page p;
    const auto err = settings::encodePage(page, sheet, p);
    if (err) qWarning() << "unexpected refusal:" << *err;
    return p;
}

// A sheet with every content cell empty and no choice selected.
void clearSheet(SettingsSheet& s) {
    for (int r = 1; r <= 22; ++r) s.setContent(r, QString());
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) s.setChoice(SettingsSheet::Choice(c), -1);
}

const QString nul(QChar(0));

}  // namespace

class TestSettingsPages : public QObject {
    Q_OBJECT

private slots:
    // The editor's start contents give exactly the documented page 1; page 2
    // is all 0xFF.
    void startContents_giveTheExamplePages() {
        SettingsSheet sheet;
        sheet.fillStartContents();

        const Page p1 = encoded(1, sheet);
        QCOMPARE(toBytes(p1).toHex(' '), startContentsPage1().toHex(' '));
        QCOMPARE(toBytes(encoded(2, sheet)), QByteArray(256, char(0xFF)));
    }

    void layout_coversEachByteOnce() {
        // No two fields overlap and none leaves its page.
        int owner[2][256];
        for (auto& page : owner) std::fill(std::begin(page), std::end(page), 0);
        for (const settings::Field& f : settings::layout()) {
            QVERIFY(f.offset >= 0 && f.offset + f.size <= 256);
            for (int i = f.offset; i < f.offset + f.size; ++i) {
                QCOMPARE(owner[f.page - 1][i], 0);
                owner[f.page - 1][i] = f.row;
            }
        }
        // Page 1 is full; page 2 has its 226 unused bytes from offset 30.
        for (int i = 0; i < 256; ++i) QVERIFY2(owner[0][i] != 0, qPrintable(QString::number(i)));
        for (int i = 0; i < 256; ++i) QCOMPARE(owner[1][i] != 0, i < 30);
    }

    void encodeField_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");

        auto hex = [](const char* h) { return QByteArray::fromHex(h); };
        QTest::newRow("password 4 digits") << 1 << "1234" << 1 << 0 << hex("31323334FF");
        QTest::newRow("password 2 digits") << 1 << "12" << 1 << 0 << hex("313200FF");
        QTest::newRow("password empty") << 1 << "" << 1 << 0 << hex("FFFFFFFF");
        QTest::newRow("sim with plus")
            << 2 << "+8613912345678" << 1 << 4
            << QByteArray("+8613912345678").append('\0').append(char(0xFF));
        QTest::newRow("sim 22 digits, no terminator")
            << 2 << "1234567890123456789012" << 1 << 4
            << QByteArray("1234567890123456789012").append(char(0x01));
        QTest::newRow("number 7") << 7 << "999" << 1 << 108 << hex("E703");
        QTest::newRow("row 10 stored twice") << 10 << "5" << 1 << 112 << hex("05000500");
        QTest::newRow("row 17 first of the intervals") << 17 << "1" << 1 << 198 << hex("0100");
        QTest::newRow("row 15 second") << 15 << "2" << 1 << 200 << hex("0200");
        QTest::newRow("row 16 third") << 16 << "3" << 1 << 202 << hex("0300");
        QTest::newRow("port 65535") << 19 << "65535" << 1 << 236 << hex("FFFF");
        QTest::newRow("port 0") << 19 << "0" << 1 << 236 << hex("0000");
        QTest::newRow("port 258") << 19 << "258" << 1 << 236 << hex("0201");
        QTest::newRow("port empty") << 19 << "" << 1 << 236 << hex("FFFF");
        QTest::newRow("text empty") << 5 << "" << 1 << 28 << hex("00FFFF");
        QTest::newRow("text 40 bytes, no terminator")
            << 5 << QString(40, 'x') << 1 << 28 << QByteArray(40, 'x').append('\0');
        QTest::newRow("text longer than 40 is cut")
            << 13 << QString(45, 'y') << 1 << 118 << QByteArray(40, 'y');
        QTest::newRow("text double-byte") << 6 << QString::fromUtf8("开门 ok") << 1 << 68
                                          << gbkBytes("开门 ok").append('\0').append(char(0xFF));
        QTest::newRow("text never splits a character")
            << 14 << QString(39, 'z') + QString::fromUtf8("开") << 1 << 158
            << QByteArray(39, 'z').append('\0').append(char(0x01) /* row 17, set below */);
        QTest::newRow("plain text, no terminator")
            << 18 << "10.0.0.1" << 1 << 204 << QByteArray("10.0.0.1").append(char(0xFF));
        QTest::newRow("plain text cut to 16")
            << 20 << QString(20, 'a') << 1 << 238 << QByteArray(16, 'a');
        QTest::newRow("user name a") << 21 << "a" << 1 << 254 << hex("6100");
        QTest::newRow("user name a, page 2 untouched") << 21 << "a" << 2 << 0 << hex("FFFF");
        QTest::newRow("user name 16, head")
            << 21 << "abcdefghijklmnop" << 1 << 254 << QByteArray("ab");
        QTest::newRow("user name 16, tail") << 21 << "abcdefghijklmnop" << 2 << 0
                                            << QByteArray("cdefghijklmnop").append(char(0xFF));
        QTest::newRow("user name 20, cut to 16") << 21 << "abcdefghijklmnopqrst" << 2 << 0
                                                 << QByteArray("cdefghijklmnop").append(char(0xFF));
        QTest::newRow("gprs password")
            << 22 << "pw" << 2 << 14 << QByteArray("pw").append(char(0xFF));
        QTest::newRow("gprs password 16")
            << 22 << QString(16, 'q') << 2 << 14 << QByteArray(16, 'q').append(char(0xFF));
    }
    void encodeField() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(int, page);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        SettingsSheet sheet;
        clearSheet(sheet);
        sheet.setContent(row, text);
        sheet.setContent(17, "1");  // a known byte after the 40-byte text of row 14
        if (row == 17) sheet.setContent(17, text);
        if (row == 2) sheet.setChoice(SettingsSheet::Cbb1, 1);  // the byte after the SIM field
        Page p;
        const auto err = settings::encodePage(page, sheet, p);
        QVERIFY2(!err, err ? qPrintable(*err) : "");
        QCOMPARE(bytesAt(p, offset, bytes.size()).toHex(' '), bytes.toHex(' '));
    }

    void encodeChoice_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("byte");
        QTest::newRow("cbb1") << int(SettingsSheet::Cbb1) << 0 << 26 << 0;
        QTest::newRow("cbb2") << int(SettingsSheet::Cbb2) << 1 << 27 << 1;
        QTest::newRow("cbb3 before cbb4") << int(SettingsSheet::Cbb3) << 1 << 110 << 1;
        QTest::newRow("cbb4 after cbb3") << int(SettingsSheet::Cbb4) << 1 << 111 << 1;
        QTest::newRow("cbb10") << int(SettingsSheet::Cbb10) << 2 << 116 << 2;
        QTest::newRow("cbb12") << int(SettingsSheet::Cbb12) << 3 << 117 << 3;
        QTest::newRow("no selection") << int(SettingsSheet::Cbb12) << -1 << 117 << 0xFF;
    }
    void encodeChoice() {
        QFETCH(int, choice);
        QFETCH(int, index);
        QFETCH(int, offset);
        QFETCH(int, byte);
        SettingsSheet sheet;
        clearSheet(sheet);
        sheet.setChoice(SettingsSheet::Choice(choice), index);
        const Page p = encoded(1, sheet);
        QCOMPARE(int(p[offset]), byte);
        // The content cell of a choice row is never a value.
        sheet.setContent(SettingsSheet::rowOf(SettingsSheet::Choice(choice)), "junk");
        QCOMPARE(toBytes(encoded(1, sheet)), toBytes(p));
    }

    void refusedCells_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 70000")
            << 19 << "70000" << 1
            << "19.Server Port(0-65535): '70000' is out of range (0 to 65535)";
        QTest::newRow("port 65536")
            << 19 << "65536" << 1
            << "19.Server Port(0-65535): '65536' is out of range (0 to 65535)";
        QTest::newRow("negative") << 7 << "-1" << 1
                                  << "7.Auto Arm after authorized number call-in(0~999): '-1' is "
                                     "out of range (0 to 65535)";
        QTest::newRow("huge")
            << 15 << "99999999999999999999999" << 1
            << "15.Power source failure alarm delay(0~999,Unit:Min): '99999999999999999999999' is "
               "out of range (0 to 65535)";
        QTest::newRow("letters in port")
            << 19 << "80a" << 1 << "'80a' is not a valid integer value";
        QTest::newRow("blank in number")
            << 16 << "1 2" << 1 << "'1 2' is not a valid integer value";
        QTest::newRow("sign only") << 10 << "-" << 1 << "'-' is not a valid integer value";
        QTest::newRow("thai in alarm text")
            << 5 << QString::fromUtf8("door ก") << 1
            << "5.DIN1 Alarm Content: the character 'ก' (U+0E01) cannot be stored on the device";
        QTest::newRow("emoji in sms")
            << 14 << QString::fromUtf8("off \U0001F600") << 1
            << QString::fromUtf8(
                   "14.SMS content when relay OFF: the character '\U0001F600' "
                   "(U+1F600) cannot be stored on the device");
        QTest::newRow("user name, page 2")
            << 21 << QString::fromUtf8("abcą") << 2
            << "21.GPRS User Name: the character 'ą' (U+0105) cannot be stored on the device";
        QTest::newRow("gprs password")
            << 22 << QString::fromUtf8("ą") << 2
            << "22.GPRS Password: the character 'ą' (U+0105) cannot be stored on the device";
        QTest::newRow("apn")
            << 20 << QString::fromUtf8("ą") << 1
            << "20.GPRS APN: the character 'ą' (U+0105) cannot be stored on the device";
    }
    void refusedCells() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(int, page);
        QFETCH(QString, message);
        SettingsSheet sheet;
        sheet.fillStartContents();
        sheet.setContent(row, text);
        Page p;
        const auto err = settings::encodePage(page, sheet, p);
        QVERIFY(err.has_value());
        QCOMPARE(*err, message);
    }

    void decodeField_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("content");

        auto hex = [](const char* h) { return QByteArray::fromHex(h); };
        QTest::newRow("port FF FF") << 1 << 236 << hex("FFFF") << 19 << "65535";
        QTest::newRow("port little endian") << 1 << 236 << hex("901F") << 19 << "8080";
        QTest::newRow("password 2 digits") << 1 << 0 << hex("313200FF") << 1 << "12";
        QTest::newRow("password stops at non-digit") << 1 << 0 << hex("31413233") << 1 << "1";
        QTest::newRow("password width 4") << 1 << 0 << hex("31323334") << 1 << "1234";
        QTest::newRow("sim with plus")
            << 1 << 4 << QByteArray("+8613912345678\0", 15) << 2 << "+8613912345678";
        QTest::newRow("sim 22 digits") << 1 << 4 << QByteArray(22, '7') << 2 << QString(22, '7');
        QTest::newRow("row 10 from offset 114") << 1 << 112 << hex("07000900") << 10 << "9";
        QTest::newRow("intervals 17") << 1 << 198 << hex("0F27E7030000") << 17 << "9999";
        QTest::newRow("intervals 15") << 1 << 198 << hex("0F27E7030000") << 15 << "999";
        QTest::newRow("intervals 16") << 1 << 198 << hex("0F27E7030100") << 16 << "1";
        QTest::newRow("text 40 bytes") << 1 << 28 << QByteArray(40, 'w') << 5 << QString(40, 'w');
        QTest::newRow("text empty") << 1 << 68 << hex("00FFFF") << 6 << "";
        QTest::newRow("text never written") << 1 << 118 << QByteArray(40, char(0xFF)) << 13 << "";
        QTest::newRow("text with spaces")
            << 1 << 158 << QByteArray("Relay OFF \0", 11) << 14 << "Relay OFF ";
        QTest::newRow("text control byte") << 1 << 158 << QByteArray("a\tb\0", 4) << 14 << "a\tb";
        QTest::newRow("text double-byte")
            << 1 << 28 << gbkBytes("开 门").append('\0') << 5 << QString::fromUtf8("开 门");
        // A lead byte at the field's end does not take its partner from the
        // next field; it shows as its stand-in.
        QTest::newRow("text lead byte at the 40th byte, this field")
            << 1 << 28 << QByteArray(39, 'a').append(char(0xBF)).append("Next") << 5
            << QString(39, 'a') + QChar(0xF7BF);
        QTest::newRow("text lead byte at the 40th byte, next field")
            << 1 << 28 << QByteArray(39, 'a').append(char(0xBF)).append("Next").append('\0') << 6
            << "Next";
        QTest::newRow("plain text up to FF")
            << 1 << 204 << QByteArray("10.0.0.1").append(char(0xFF)) << 18 << "10.0.0.1";
        QTest::newRow("plain text keeps 00")
            << 1 << 238 << QByteArray("ab\0c", 4).append(char(0xFF)) << 20
            << QString("ab") + nul + "c";
        QTest::newRow("plain text full width")
            << 1 << 204 << QByteArray(32, 'i') << 18 << QString(32, 'i');
        QTest::newRow("gprs password") << 2 << 14 << QByteArray(16, 'p') << 22 << QString(16, 'p');
    }
    void decodeField() {
        QFETCH(int, page);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(int, row);
        QFETCH(QString, content);
        SettingsSheet sheet;
        sheet.fillStartContents();
        Page p = blankPage();
        put(p, offset, bytes);
        settings::DecodeState state;
        settings::decodePage(page, p, sheet, state);
        QCOMPARE(sheet.content(row), content);
    }

    void decodeChoices_data() {
        QTest::addColumn<QByteArray>("bytes26");   // offsets 26, 27
        QTest::addColumn<QByteArray>("bytes110");  // offsets 110, 111
        QTest::addColumn<QByteArray>("bytes116");  // offsets 116, 117
        QTest::addColumn<QList<int>>("choices");   // cbb1, cbb2, cbb4, cbb3, cbb10, cbb12
        QTest::newRow("all set") << QByteArray::fromHex("0001") << QByteArray::fromHex("0100")
                                 << QByteArray::fromHex("0203") << QList<int>{0, 1, 0, 1, 2, 3};
        QTest::newRow("FF none") << QByteArray::fromHex("FFFF") << QByteArray::fromHex("FFFF")
                                 << QByteArray::fromHex("FFFF")
                                 << QList<int>{-1, -1, -1, -1, -1, -1};
        QTest::newRow("beyond the items")
            << QByteArray::fromHex("0200") << QByteArray::fromHex("0002")
            << QByteArray::fromHex("0304") << QList<int>{-1, 0, -1, 0, 3, -1};
    }
    void decodeChoices() {
        QFETCH(QByteArray, bytes26);
        QFETCH(QByteArray, bytes110);
        QFETCH(QByteArray, bytes116);
        QFETCH(QList<int>, choices);
        SettingsSheet sheet;
        sheet.fillStartContents();
        Page p = blankPage();
        put(p, 26, bytes26);
        put(p, 110, bytes110);
        put(p, 116, bytes116);
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
            sheet.setContent(SettingsSheet::rowOf(SettingsSheet::Choice(c)), "cell");
        settings::DecodeState state;
        settings::decodePage(1, p, sheet, state);
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
            QCOMPARE(sheet.choice(SettingsSheet::Choice(c)), choices[c]);
        // The content cells under the lists are not written by decoding.
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
            QCOMPARE(sheet.content(SettingsSheet::rowOf(SettingsSheet::Choice(c))),
                     QString("cell"));
        // Saving again writes what was read, a byte that names no item too.
        const Page again = encoded(1, sheet);
        QCOMPARE(bytesAt(again, 26, 2), bytes26);
        QCOMPARE(bytesAt(again, 110, 2), bytes110);
        QCOMPARE(bytesAt(again, 116, 2), bytes116);
        // A sheet copied list by list through its bytes saves the same.
        SettingsSheet copy;
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
            copy.setChoice(SettingsSheet::Choice(c), sheet.choiceByte(SettingsSheet::Choice(c)));
        const Page copied = encoded(1, copy);
        for (int offset : {26, 27, 110, 111, 116, 117}) QCOMPARE(copied[offset], again[offset]);
    }

    void userName_data() {
        QTest::addColumn<QByteArray>("head");  // page 1 offsets 254, 255
        QTest::addColumn<QByteArray>("tail");  // page 2 offsets 0..13
        QTest::addColumn<QString>("afterPage1");
        QTest::addColumn<QString>("afterPage2");
        QTest::newRow("a") << QByteArray("a\0", 2) << QByteArray() << QString("a") + nul
                           << QString("a") + nul;
        QTest::newRow("16 characters") << QByteArray("ab") << QByteArray("cdefghijklmnop") << "ab"
                                       << "abcdefghijklmnop";
        QTest::newRow("empty") << QByteArray() << QByteArray() << ""
                               << "";
        QTest::newRow("character across the pages")
            << QByteArray("a").append(char(0xBF)) << QByteArray(1, char(0xAA)).append("xyz")
            << QString("a") + QChar(0xF7BF) << QString::fromUtf8("a开xyz");
    }
    void userName() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(QString, afterPage1);
        QFETCH(QString, afterPage2);
        SettingsSheet sheet;
        sheet.fillStartContents();
        sheet.setContent(21, "old");
        Page p1 = blankPage(), p2 = blankPage();
        put(p1, 254, head);
        put(p2, 0, tail);
        settings::DecodeState state;
        settings::decodePage(1, p1, sheet, state);
        QCOMPARE(sheet.content(21), afterPage1);
        settings::decodePage(2, p2, sheet, state);
        QCOMPARE(sheet.content(21), afterPage2);
        // Written back, the name gives the same bytes.
        QCOMPARE(bytesAt(encoded(1, sheet), 254, 2), bytesAt(p1, 254, 2));
        QCOMPARE(bytesAt(encoded(2, sheet), 0, 14), bytesAt(p2, 0, 14));
    }

    void userName_page2AloneAppends() {
        SettingsSheet sheet;
        sheet.setContent(21, "xy");
        Page p2 = blankPage();
        put(p2, 0, "zz");
        settings::DecodeState state;
        settings::decodePage(2, p2, sheet, state);
        QCOMPARE(sheet.content(21), QString("xyzz"));
    }

    // Everything the sheet can hold survives a save and a read unchanged.
    void roundTrip() {
        SettingsSheet a;
        a.fillStartContents();
        const QStringList contents = {"0000",
                                      "+861391234567890123456",
                                      "",
                                      "",
                                      QString::fromUtf8("门被打开了"),
                                      QString(40, 'x'),
                                      "0",
                                      "",
                                      "",
                                      "999",
                                      "",
                                      "",
                                      "on",
                                      QString::fromUtf8("关"),
                                      "0",
                                      "999",
                                      "0",
                                      "very.long.host.name.example.org",
                                      "65535",
                                      "cmnet",
                                      "abcdefghijklmnop",
                                      "secret"};
        for (int r = 1; r <= 22; ++r) a.setContent(r, contents[r - 1]);
        a.setChoice(SettingsSheet::Cbb1, 0);
        a.setChoice(SettingsSheet::Cbb3, 0);
        a.setChoice(SettingsSheet::Cbb10, 1);
        a.setChoice(SettingsSheet::Cbb12, -1);
        const Page p1 = encoded(1, a), p2 = encoded(2, a);

        SettingsSheet b;
        b.fillStartContents();
        settings::DecodeState state;
        settings::decodePage(1, p1, b, state);
        settings::decodePage(2, p2, b, state);
        for (int r = 1; r <= 22; ++r)
            if (SettingsSheet::choiceAt(r) < 0) QCOMPARE(b.content(r), a.content(r));
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
            QCOMPARE(b.choice(SettingsSheet::Choice(c)), a.choice(SettingsSheet::Choice(c)));
        QCOMPARE(toBytes(encoded(1, b)), toBytes(p1));
        QCOMPARE(toBytes(encoded(2, b)), toBytes(p2));
    }

    // Any page a device holds is read and saved byte for byte: random bytes
    // in every text field, list bytes that do or do not name an item.
    void anyDevicePage_readAndSavedUnchanged_data() {
        QTest::addColumn<bool>("strayLists");
        QTest::newRow("list bytes name items") << false;
        QTest::newRow("list bytes name no item") << true;
    }
    void anyDevicePage_readAndSavedUnchanged() {
        QFETCH(bool, strayLists);
        QRandomGenerator random(1400 + strayLists);
        for (int i = 0; i < 1000; ++i) {
            const RandomPages device = randomPages(random, strayLists);
            SettingsSheet sheet;
            sheet.fillStartContents();
            settings::DecodeState state;
            settings::decodePage(1, device.page[0], sheet, state);
            settings::decodePage(2, device.page[1], sheet, state);
            for (int p = 1; p <= 2; ++p)
                QCOMPARE(toBytes(encoded(p, sheet)).toHex(' '),
                         toBytes(device.page[p - 1]).toHex(' '));
        }
    }

    void encodeCut_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("fits") << "abc" << 3 << QByteArray("abc");
        QTest::newRow("ascii cut") << "abcd" << 3 << QByteArray("abc");
        QTest::newRow("before a double-byte") << QString::fromUtf8("ab开") << 3 << QByteArray("ab");
        QTest::newRow("double-byte fits") << QString::fromUtf8("a开") << 3 << gbkBytes("a开");
        QTest::newRow("a stand-in is one byte")
            << QString("ab") + QChar(0xF7BF) + "c" << 3 << QByteArray("ab\xBF");
    }
    void encodeCut() {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QByteArray, bytes);
        QCOMPARE(settings::encodeCut(text, max).value(), bytes);
    }
};

QTEST_GUILESS_MAIN(TestSettingsPages)
#include "test_settings_codec.moc"
