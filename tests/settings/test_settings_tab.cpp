// The settings tab through real key and mouse events: layout and names, the
// input rules as the user meets them, Esc, Tab and pasted control characters,
// the choice lists over their cells (and the wheel over them), their exit
// handlers, horizontal scrolling, the change summary, and the buttons driving
// the virtual device in-process.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "app/snapshots.h"
#include "session_rig.h"
#include "ui/settings_tab.h"
#include "ui/string_grid.h"

class TestSettingsPage : public QObject, SessionRig {
    Q_OBJECT
    SettingsPage* page = nullptr;

    StringGrid* grid() const { return page->grid(); }
    QComboBox* combo(SettingsSheet::Choice c) const { return page->choiceList(c); }
    QLineEdit* editor() const {
        for (QLineEdit* e : grid()->findChildren<QLineEdit*>())
            if (e->isVisible()) return e;
        return nullptr;
    }

    // Types text at the keyboard focus, one key at a time.
    void type(const QString& text) {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QVERIFY(target);
            if (c.unicode() < 0x80)
                QTest::keyClick(target, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }
    void select(int row) {
        grid()->setFocus();
        grid()->setCurrentCell(1, row);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid()));
    }
    QPoint cellCenter(int col, int row) const { return grid()->cellRect(col, row).center(); }

private slots:
    void init() {
        setUpRig();
        device = InProcessDevice::blankSettings();
        page = new SettingsPage(*session);
        page->resize(1000, 600);
        page->show();
        QVERIFY(QTest::qWaitForWindowActive(page));
    }
    void cleanup() {
        delete page;
        tearDownRig();
    }

    void layout_namesCaptionsAndSizes() {
        const struct {
            const char* name;
            const char* caption;
            int top;
        } buttons[] = {{"btn21", "Read Settings", 47},
                       {"btn22", "Save Settings", 113},
                       {"btn16", "Import profile", 179},
                       {"btn17", "Export profile", 246}};
        for (const auto& b : buttons) {
            auto* button = page->findChild<QPushButton*>(b.name);
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString(b.caption));
            QCOMPARE(button->geometry(), QRect(7, b.top, 85, 31));
        }
        QCOMPARE(page->findChild<QWidget*>("pnl14")->width(), 100);
        QCOMPARE(page->findChild<StringGrid*>("strngrd_write"), grid());
        QCOMPARE(grid()->x(), 100);

        QCOMPARE(grid()->grid().columns(), 3);
        QCOMPARE(grid()->grid().rows(), 23);
        QCOMPARE(grid()->gridColumnWidth(0), 275);
        QCOMPARE(grid()->gridColumnWidth(1), 201);
        QCOMPARE(grid()->gridColumnWidth(2), 391);
        QCOMPARE(grid()->horizontalHeader()->height(), 24);
        QCOMPARE(grid()->rowHeight(0), 22);   // row 1
        QCOMPARE(grid()->rowHeight(6), 24);   // row 7
        QCOMPARE(grid()->rowHeight(7), 26);   // row 8
        QCOMPARE(grid()->rowHeight(21), 24);  // row 22
        QVERIFY(!(grid()->focusPolicy() & Qt::TabFocus));
        // No content cell is selected at start.
        QCOMPARE(grid()->currentRow(), 0);
    }

    void layout_texts() {
        const TextGrid& g = grid()->grid();
        QCOMPARE(g.rowTexts(0), (QStringList{"Items", "Content", "Description"}));
        QCOMPARE(g.text(0, 10), QString("10.Relay swtich ON timer(0~999, Unit:Second)"));
        QCOMPARE(g.text(2, 11), QString("Default3:Admin Number;Caller Number"));
        QCOMPARE(g.text(2, 12), QString("Default3:Admin Number;Caller Number"));
        QCOMPARE(g.text(0, 22), QString("22.GPRS Password"));
        QCOMPARE(grid()->model()->headerData(0, Qt::Horizontal).toString(), QString("Content"));
    }

    void header_isSkyBlue() {
        QTest::qWait(20);
        const QImage shot = grid()->grab().toImage();
        const QRect header = grid()->horizontalHeader()->geometry();
        // Left edge of the "Content" header, away from its centred text.
        const QPoint p(header.left() + 10, header.top() + 4);
        QCOMPARE(QColor(shot.pixel(p)).name(), QString("#a6caf0"));
    }

    void choiceLists_namesItemsAndPlaces() {
        const struct {
            SettingsSheet::Choice c;
            const char* name;
            int row;
            int items;
            int start;
        } lists[] = {
            {SettingsSheet::Cbb1, "cbb1", 3, 2, 1},    {SettingsSheet::Cbb2, "cbb2", 4, 2, 1},
            {SettingsSheet::Cbb4, "cbb4", 8, 2, 0},    {SettingsSheet::Cbb3, "cbb3", 9, 2, 1},
            {SettingsSheet::Cbb10, "cbb10", 11, 4, 3}, {SettingsSheet::Cbb12, "cbb12", 12, 4, 3}};
        for (const auto& l : lists) {
            QComboBox* box = page->findChild<QComboBox*>(l.name);
            QVERIFY2(box, l.name);
            QCOMPARE(box, combo(l.c));
            QVERIFY(!box->isEditable());
            QCOMPARE(box->count(), l.items);
            QCOMPARE(box->currentIndex(), l.start);
            // Drawn once, each list stands over its content cell.
            QTRY_VERIFY(box->isVisible());
            QCOMPARE(box->geometry(), grid()->cellRect(1, l.row));
        }
        QCOMPARE(combo(SettingsSheet::Cbb1)->itemText(0), QString("0:NC "));
        QCOMPARE(combo(SettingsSheet::Cbb3)->itemText(1),
                 QString("1:Only the authorized number can call to control the relay"));
        QCOMPARE(combo(SettingsSheet::Cbb12)->itemText(3), QString("3:Admin Number;Caller Number"));
        // The content cells under the lists start empty.
        QCOMPARE(session->settings.content(3), QString());
    }

    void choiceLists_boundToSheet() {
        combo(SettingsSheet::Cbb10)->setCurrentIndex(1);
        QCOMPARE(session->settings.choice(SettingsSheet::Cbb10), 1);
        session->settings.setChoice(SettingsSheet::Cbb2, 0);
        QCOMPARE(combo(SettingsSheet::Cbb2)->currentIndex(), 0);
        session->settings.setChoice(SettingsSheet::Cbb2, 0xFF);
        QCOMPARE(combo(SettingsSheet::Cbb2)->currentIndex(), -1);
    }

    // Choosing "1:Arm" and leaving the list puts its text into the cell.
    void comboExit_copiesText() {
        QComboBox* box = combo(SettingsSheet::Cbb4);
        QTRY_VERIFY(box->isVisible());
        QTest::mouseClick(box, Qt::LeftButton);  // opens the list
        QTRY_VERIFY(box->view()->isVisible());
        QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        QTRY_VERIFY(!box->view()->isVisible());
        QCOMPARE(box->currentText(), QString("1:Arm"));
        QCOMPARE(session->settings.content(8), QString());  // still in the list
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(1, 5));
        QCOMPARE(session->settings.content(8), QString("1:Arm"));
        QCOMPARE(session->settings.choice(SettingsSheet::Cbb4), 1);
    }

    void password_letterRemoved_fourthDigitMoves() {
        select(1);
        type("12");
        QVERIFY(editor());
        QCOMPARE(editor()->text(), QString("12"));  // typing replaced "5729"
        type("a");
        QCOMPARE(editor()->text(), QString("12"));
        type("34");
        QCOMPARE(session->settings.content(1), QString("1234"));
        QCOMPARE(grid()->currentRow(), 2);
        QCOMPARE(grid()->currentCol(), 1);
    }

    void password_letterAsFourthStillMoves() {
        select(1);
        type("572x");
        QCOMPARE(session->settings.content(1), QString("572"));
        QCOMPARE(grid()->currentRow(), 2);
    }

    void sim_plusRemoved() {
        select(2);
        type("+");
        QCOMPARE(editor()->text(), QString());
        type("86+1");
        QCOMPARE(editor()->text(), QString("861"));
    }

    void pasted_12a45_inRow7() {
        select(7);
        QTest::keyClick(grid(), Qt::Key_F2);
        QVERIFY(editor());
        editor()->selectAll();
        QGuiApplication::clipboard()->setText("12a45");
        QTest::keyClick(editor(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(session->settings.content(7), QString("12a"));
        QCOMPARE(grid()->currentRow(), 8);
    }

    void alarmText_40thCharacterMoves() {
        select(5);
        type(QString(39, 'd'));
        QCOMPARE(grid()->currentRow(), 5);
        type("e");
        QCOMPARE(session->settings.content(5), QString(39, 'd') + "e");
        QCOMPARE(grid()->currentRow(), 6);
    }

    void alarmText_doubleByteCountsTwice() {
        select(6);
        type(QString(19, QChar(0x5F00)));  // 38 bytes
        QCOMPARE(grid()->currentRow(), 6);
        type(QString(1, QChar(0x5F00)));
        QCOMPARE(session->settings.content(6), QString(20, QChar(0x5F00)));
        QCOMPARE(grid()->currentRow(), 7);
    }

    void gprsPassword_16thCharacterMovesUp() {
        select(22);
        type(QString(16, 'p'));
        QCOMPARE(session->settings.content(22), QString(16, 'p'));
        QCOMPARE(grid()->currentRow(), 21);
    }

    void serverPort_anyFiveCharacters() {
        select(19);
        type("8o8o8");
        QCOMPARE(session->settings.content(19), QString("8o8o8"));
        QCOMPARE(grid()->currentRow(), 20);
    }

    void choiceRow_typingLeavesCellEmptyAndMovesDown() {
        select(2);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentRow(), 3);
        type("7");
        QCOMPARE(session->settings.content(3), QString());
        QCOMPARE(grid()->currentRow(), 4);
        type("x");
        QCOMPARE(session->settings.content(4), QString());
        QCOMPARE(grid()->currentRow(), 5);
    }

    void unencodableCharacter_refusedWithMessage() {
        select(13);
        type(QString::fromUtf8("on"));
        type(QString::fromUtf8("ก"));
        QCOMPARE(editor()->text(), QString("on"));
        QTRY_COMPARE(prompts.texts(),
                     QStringList{QString::fromUtf8(
                         "13.SMS content when relay ON: the character 'ก' (U+0E01) cannot be "
                         "stored on the device")});
    }

    // Esc ends the edit and gives the cell back what it held before it,
    // whatever the row's rule did to the text while it was typed.
    void escape_restoresCellWhateverTheRulesDid_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");  // the editor before Esc
        QTest::newRow("digit rule") << 1 << "1a"
                                    << "1";
        QTest::newRow("refused character") << 13 << QString::fromUtf8("okก") << "ok";
    }
    void escape_restoresCellWhateverTheRulesDid() {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        const QString before = session->settings.content(row);
        select(row);
        type(typed);
        QCOMPARE(editor()->text(), shown);
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor());
        QCOMPARE(session->settings.content(row), before);
        QCOMPARE(grid()->currentRow(), row);
    }

    // A tab or line break pasted into a text row is refused, naming the row;
    // the rest of the paste stays.
    void pastedControlCharacters_refusedNamingRow() {
        select(13);
        QTest::keyClick(grid(), Qt::Key_F2);
        editor()->selectAll();
        QGuiApplication::clipboard()->setText("abc\tdef\nghi");
        QTest::keyClick(editor(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(editor()->text(), QString("abcdefghi"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(session->settings.content(13), QString("abcdefghi"));
        QTRY_COMPARE(prompts.texts().size(), 1);
        QVERIFY2(prompts.last().startsWith("13.SMS content when relay ON: the control character") &&
                     prompts.last().contains("U+0009"),
                 qPrintable(prompts.last()));
    }

    // What a save will change shows control characters a text carries (read
    // from the device or a profile) as visible symbols, one setting a line.
    void changeSummary_showsControlCharactersVisibly() {
        SettingsSheet before, now;
        before.fillStartContents();
        now.fillStartContents();
        now.setContent(13, "abc\tdef\nghi");
        const QStringList rows = SnapshotKeeper::settingsChange(before, now);
        QCOMPARE(rows, QStringList{QString::fromUtf8(
                           "13.SMS content when relay ON: \"Relay ON\" -> \"abc\u2409def\u240Aghi\"")});
    }

    // Tab leaves the grid (it is not in the tab order), from a selected cell
    // or from an open editor, whose text is kept.
    void tab_leavesGrid_data() {
        QTest::addColumn<bool>("editing");
        QTest::newRow("from a cell") << false;
        QTest::newRow("from the editor") << true;
    }
    void tab_leavesGrid() {
        QFETCH(bool, editing);
        select(7);
        if (editing) type("42");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        QVERIFY(f);
        QVERIFY2(f != grid() && !grid()->isAncestorOf(f), qPrintable(f->objectName()));
        QVERIFY(!editor());
        QCOMPARE(session->settings.content(7), QString(editing ? "42" : "10"));
    }

    // The wheel over a choice list that no click has focused scrolls the grid
    // and changes nothing (the gate's click rule: test_numbers_page).
    void wheelOverChoiceList_scrollsGridChangesNothing() {
        page->resize(1000, 300);
        QComboBox* box = combo(SettingsSheet::Cbb10);
        QTRY_VERIFY(box->isVisible());
        QScrollBar* bar = grid()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        auto wheel = [&](int delta) {
            const QPoint at = box->rect().center();
            QWheelEvent e(at, box->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &e);
        };
        wheel(120);
        wheel(-120);
        QCOMPARE(box->currentIndex(), 3);
        QCOMPARE(session->settings.choice(SettingsSheet::Cbb10), 3);
        QVERIFY(bar->value() > 0);
    }

    // A keyboard edit on a choice row leaves its list in sight; F4 opens it.
    void choiceRow_keyboardEditKeepsListInSight() {
        QComboBox* box = combo(SettingsSheet::Cbb4);
        QTRY_VERIFY(box->isVisible());
        select(7);
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentRow(), 8);
        QTest::keyClick(grid(), Qt::Key_F2);
        QVERIFY(editor());
        QWidget* seen = grid()->viewport()->childAt(cellCenter(1, 8));
        QVERIFY(seen == box || box->isAncestorOf(seen));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QTest::keyClick(grid(), Qt::Key_F4);
        QTRY_VERIFY(box->view()->isVisible());
        QTest::keyClick(box->view(), Qt::Key_Escape);
        QCOMPARE(session->settings.choice(SettingsSheet::Cbb4), 0);
    }

    void description_givesNoEditor() {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(2, 5));
        QCOMPARE(grid()->currentCol(), 2);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(2, 5));
        type("C");  // no type-to-find: the selection stays
        QCOMPARE(grid()->currentRow(), 5);
        type("x");
        QTest::keyClick(grid(), Qt::Key_F2);
        QVERIFY(!editor());
        QCOMPARE(grid()->grid().text(2, 5), QString("Up to 40 characters"));
        // Back in the content column editing works again.
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(1, 6));
        type("y");
        QVERIFY(editor());
    }

    void horizontalScroll_captionAndListsPlacedAgain() {
        page->resize(500, 600);
        QScrollBar* bar = grid()->horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        QTRY_VERIFY(combo(SettingsSheet::Cbb1)->isVisible());
        const QRect before = combo(SettingsSheet::Cbb1)->geometry();
        bar->setValue(40);
        QCOMPARE(page->windowTitle(),
                 QString::fromUtf8("滚动条位置:") + QString::number(bar->value()));
        QVERIFY(combo(SettingsSheet::Cbb1)->isHidden());
        // Drawn again, the lists stand over their cells at the new place.
        QTRY_VERIFY(combo(SettingsSheet::Cbb1)->isVisible());
        QCOMPARE(combo(SettingsSheet::Cbb1)->geometry(), grid()->cellRect(1, 3));
        QVERIFY(combo(SettingsSheet::Cbb1)->geometry() != before);
    }

    void readSettings_fillsGridAndLists() {
        putBytes(device, vdev::Region::Settings, 1, 0, "4321");
        putBytes(device, vdev::Region::Settings, 1, 26, QByteArray::fromHex("0000"));
        putBytes(device, vdev::Region::Settings, 1, 110, QByteArray::fromHex("0001"));
        putBytes(device, vdev::Region::Settings, 1, 116, QByteArray::fromHex("01FF"));
        putBytes(device, vdev::Region::Settings, 1, 236, QByteArray::fromHex("5000"));
        QTest::mouseClick(page->findChild<QPushButton*>("btn21"), Qt::LeftButton);
        QTRY_VERIFY(prompts.texts().contains("Basic settings read to PC software success."));
        QCOMPARE(prompts.shown.first().kind, QString("confirm"));
        QCOMPARE(grid()->model()->data(grid()->indexOf(1, 1)).toString(), QString("4321"));
        QCOMPARE(session->settings.content(19), QString("80"));
        QCOMPARE(combo(SettingsSheet::Cbb1)->currentText(), QString("0:NC "));
        QCOMPARE(combo(SettingsSheet::Cbb3)->currentIndex(), 0);
        QCOMPARE(combo(SettingsSheet::Cbb4)->currentText(), QString("1:Arm"));
        QCOMPARE(combo(SettingsSheet::Cbb10)->currentIndex(), 1);
        QCOMPARE(combo(SettingsSheet::Cbb12)->currentIndex(), -1);
        for (QComboBox* box : page->findChildren<QComboBox*>()) QVERIFY(box->isVisible());
    }

    // Save takes the text still open in the editor.
    void saveSettings_includesOpenEditor() {
        select(7);
        type("42");
        QVERIFY(editor());
        QTest::mouseClick(page->findChild<QPushButton*>("btn22"), Qt::LeftButton);
        QTRY_VERIFY(prompts.texts().contains("Basic setting saved success"));
        const QByteArray page1 = device.pageBytes(vdev::Region::Settings, 1);
        QCOMPARE(int(page1[108]), 42);
        QCOMPARE(int(page1[109]), 0);
        QCOMPARE(device.pagesWritten(vdev::Region::Settings), (QList<int>{1, 2}));
    }

    void profileButtons_onlySignal() {
        QSignalSpy imp(page, &SettingsPage::importProfileRequested);
        QSignalSpy exp(page, &SettingsPage::exportProfileRequested);
        QTest::mouseClick(page->findChild<QPushButton*>("btn16"), Qt::LeftButton);
        QTest::mouseClick(page->findChild<QPushButton*>("btn17"), Qt::LeftButton);
        QCOMPARE(imp.count(), 1);
        QCOMPARE(exp.count(), 1);
        QVERIFY(port.sent.isEmpty());
    }
};

QTEST_MAIN(TestSettingsPage)
#include "test_settings_tab.moc"
