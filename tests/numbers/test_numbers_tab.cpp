// The number grid page driven by real clicks and keys: pickers over the
// current cell and their write-back, no picker on Always rows, flag clicks,
// the two all-row buttons, in-place editing of numbers only, the wheel (which
// edits a picker only after a click focused it), keys that must not move the
// selection, Tab and whole dates typed into a picker, rows at the list's
// end, and the painting of out-of-range and unreadable cells.
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimeEdit>
#include <QtTest>

#include "numbers/number_record.h"
#include "session_rig.h"
#include "ui/numbers_tab.h"
#include "ui/string_grid.h"

using namespace numrec;

class TestNumbersPage : public QObject, SessionRig {
    Q_OBJECT
    NumbersPage* page = nullptr;
    StringGrid* grid = nullptr;

    TextGrid& cells() { return session->numbers; }

    void clickCell(int col, int row) {
        grid->scrollTo(grid->indexOf(col, row));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(col, row).center());
    }

    QRect pickerCellRect(int col, int row) const {
        const QRect r = grid->cellRect(col, row);
        return QRect(grid->viewport()->mapTo(page->picker(col)->parentWidget(), r.topLeft()),
                     r.size());
    }

    QColor cellColor(int col, int row) {
        const QImage img = grid->viewport()->grab().toImage();
        const QRect r = grid->cellRect(col, row);
        return img.pixelColor(r.left() + 3, r.top() + 3);
    }

    void setRow(int row, const QStringList& cols1to7) { cells().setRows(row, {cols1to7}, Number); }

    // A wheel notch as the window system delivers it to `w` (at its centre).
    static void wheel(QWidget* w, int delta) {
        const QPoint at = w->rect().center();
        QWheelEvent e(at, w->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }

private slots:
    void init() {
        setUpRig();
        page = new NumbersPage(*session);
        page->resize(900, 560);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        grid = page->grid();
        for (const char* b : {"btn10", "btn9", "btn6", "btn7"})
            page->findChild<QPushButton*>(b)->setEnabled(true);
    }
    void cleanup() {
        delete page;
        tearDownRig();
    }

    void layout_namesCaptionsAndColumns() {
        const QList<QPair<QString, QString>> buttons = {
            {"btn10", "Read"},        {"btn9", "Save"},        {"btn14", "Import .XLS"},
            {"btn15", "Export .XLS"}, {"btn3", "Export .CSV"}, {"btn6", "All Always"},
            {"btn7", "Delete all"}};
        int lastY = -1;
        for (const auto& [name, caption] : buttons) {
            auto* b = page->findChild<QPushButton*>(name);
            QVERIFY2(b, qPrintable(name));
            QCOMPARE(b->text(), caption);
            QCOMPARE(b->size(), QSize(85, 30));
            QVERIFY(b->y() > lastY);
            lastY = b->y();
        }
        QCOMPARE(page->findChild<QWidget*>("pnl6")->width(), 100);
        QVERIFY(page->findChild<QWidget*>("scrlbx1"));
        QCOMPARE(grid->objectName(), QString("strngrd3"));
        const int widths[] = {45, 145, 83, 91, 89, 86, 78, 76};
        for (int c = 0; c < 8; ++c) QCOMPARE(grid->gridColumnWidth(c), widths[c]);
        QCOMPARE(grid->model()->rowCount(), 3000);
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QString("Start Time "));
        QCOMPARE(qobject_cast<QDateEdit*>(page->picker(StartDate))->displayFormat(),
                 QString("yyyy/MM/dd"));
        QCOMPARE(page->findChild<QTimeEdit*>("dtp_endtime")->displayFormat(), QString("HH:mm"));
        for (int c = StartDate; c <= EndTime; ++c) QVERIFY(!page->picker(c)->isVisible());
    }

    void picker_appearsOverCellAndLoadsIt_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("cell");
        QTest::newRow("start date as read") << int(StartDate) << "2024-05-17";
        QTest::newRow("start time") << int(StartTime) << "08:30";
        QTest::newRow("end date") << int(EndDate) << "2025/01/02";
        QTest::newRow("end time one-digit hour") << int(EndTime) << "9:05";
    }
    void picker_appearsOverCellAndLoadsIt() {
        QFETCH(int, col);
        QFETCH(QString, cell);
        setRow(40, {"40", "", "", "", "", "no", "no"});
        cells().setText(col, 40, cell);
        clickCell(col, 40);
        QDateTimeEdit* p = page->picker(col);
        QTRY_VERIFY(p->isVisible());
        QCOMPARE(p->geometry(), pickerCellRect(col, 40));
        QVERIFY(!page->pickerBlank(col));
        if (col == StartDate || col == EndDate)
            QCOMPARE(p->date(), cellDate(cell).value());
        else
            QCOMPARE(p->time(), cellTime(cell).value());
        for (int other = StartDate; other <= EndTime; ++other)
            if (other != col) QVERIFY(!page->picker(other)->isVisible());
        // Another column hides it.
        clickCell(Number, 40);
        QVERIFY(!p->isVisible());
    }

    void startDate_changeIsWrittenAtOnce() {
        setRow(5, {"5", "2024-05-17", "08:30", "2025-01-02", "18:05", "no", "no"});
        clickCell(StartDate, 5);
        QDateTimeEdit* p = page->picker(StartDate);
        QTRY_VERIFY(p->isVisible());
        p->setFocus();
        p->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClick(p, Qt::Key_Up);
        QCOMPARE(cells().text(StartDate, 5), QString("2024/05/18"));
        // Leaving hides the start-date picker; the cell keeps the value.
        clickCell(Number, 6);
        QVERIFY(!p->isVisible());
        QCOMPARE(cells().text(StartDate, 5), QString("2024/05/18"));
    }

    void otherPickers_writeBackOnLeaving_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("start time") << int(StartTime) << "08:30"
                                    << "09:30";
        QTest::newRow("end date") << int(EndDate) << "2025-01-02"
                                  << "2026/01/02";
        QTest::newRow("end time") << int(EndTime) << "18:05"
                                  << "19:05";
    }
    void otherPickers_writeBackOnLeaving() {
        QFETCH(int, col);
        QFETCH(QString, before);
        QFETCH(QString, after);
        setRow(8, {"8", "2024-05-17", "08:30", "2025-01-02", "18:05", "no", "no"});
        clickCell(col, 8);
        QDateTimeEdit* p = page->picker(col);
        QTRY_VERIFY(p->isVisible());
        p->setFocus();
        p->setSelectedSection(p->sectionAt(0));
        QTest::keyClick(p, Qt::Key_Up);
        QCOMPARE(cells().text(col, 8), before);  // only on leaving
        clickCell(Number, 8);
        QCOMPARE(cells().text(col, 8), after);
    }

    void emptyCell_pickerKeepsValue_leavingFillsCell() {
        setRow(9, {"9", "", "", "", "", "no", "no"});
        QDateTimeEdit* p = page->picker(EndTime);
        p->setTime(QTime(7, 45));
        clickCell(EndTime, 9);
        QTRY_VERIFY(p->isVisible());
        QCOMPARE(p->time(), QTime(7, 45));
        p->setFocus();
        clickCell(Number, 9);
        QCOMPARE(cells().text(EndTime, 9), QString("07:45"));
    }

    void unreadableCells_blankPicker_nothingWritten_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("cell");
        QTest::newRow("no such day") << int(StartDate) << "2024/02/30";
        QTest::newRow("text in date") << int(EndDate) << "next year";
        QTest::newRow("short date") << int(EndDate) << "2024/5/7";
        QTest::newRow("hour 24") << int(StartTime) << "24:00";
        QTest::newRow("no colon") << int(EndTime) << "0905";
    }
    void unreadableCells_blankPicker_nothingWritten() {
        QFETCH(int, col);
        QFETCH(QString, cell);
        setRow(11, {"11", "2024-05-17", "08:30", "2025-01-02", "18:05", "no", "no"});
        cells().setText(col, 11, cell);
        clickCell(col, 11);
        QDateTimeEdit* p = page->picker(col);
        QTRY_VERIFY(p->isVisible());
        QVERIFY(page->pickerBlank(col));
        QCOMPARE(p->text(), QString());
        p->setFocus();
        clickCell(Number, 11);
        QCOMPARE(cells().text(col, 11), cell);
        // A key in the blank picker gives it a value, which is then written.
        clickCell(col, 11);
        QTRY_VERIFY(p->isVisible());
        p->setFocus();
        QTest::keyClick(p, Qt::Key_Up);
        QVERIFY(!page->pickerBlank(col));
        QVERIFY(!p->text().isEmpty());
        clickCell(Number, 11);
        const QString written = cells().text(col, 11);
        if (col == StartDate || col == EndDate)
            QCOMPARE(written, pickerDateText(p->date()));
        else
            QCOMPARE(written, pickerTimeText(p->time()));
    }

    // The hidden value may be one that cannot step (23:59 steps neither its
    // hour nor its minute up); an arrow key still gives the blank edit a value.
    void blankPicker_overUnsteppableValue_arrowGivesAValue() {
        setRow(13, {"13", "2024-05-17", "08:30", "2025-01-02", "23:59", "no", "no"});
        clickCell(EndTime, 13);
        QDateTimeEdit* p = page->picker(EndTime);
        QTRY_VERIFY(p->isVisible());
        QCOMPARE(p->time(), QTime(23, 59));
        setRow(14, {"14", "2024-05-17", "08:30", "2025-01-02", "later", "no", "no"});
        clickCell(EndTime, 14);
        QVERIFY(page->pickerBlank(EndTime));
        p->setFocus();
        QTest::keyClick(p, Qt::Key_Up);
        QVERIFY(!page->pickerBlank(EndTime));
        QCOMPARE(p->text(), QString("23:59"));
    }

    void alwaysRow_getsNoPicker() {
        setRow(12, {"12", "", "", "", "", "yes", "no"});
        for (int col = StartDate; col <= EndTime; ++col) {
            clickCell(col, 12);
            QCOMPARE(grid->currentCol(), col);
            QVERIFY(!page->picker(col)->isVisible());
        }
    }

    void flagClick_togglesAndClearsDates_data() {
        QTest::addColumn<int>("col");
        QTest::newRow("Always(V)") << int(Always);
        QTest::newRow("Delete(V)") << int(Delete);
    }
    void flagClick_togglesAndClearsDates() {
        QFETCH(int, col);
        setRow(14, {"14", "2024-05-17", "08:30", "2025-01-02", "18:05", "no", "no"});
        clickCell(StartTime, 14);
        QTRY_VERIFY(page->picker(StartTime)->isVisible());
        clickCell(col, 14);
        QCOMPARE(cells().text(col, 14), QString("yes"));
        for (int c = StartDate; c <= EndTime; ++c) {
            QCOMPARE(cells().text(c, 14), QString());
            QVERIFY(!page->picker(c)->isVisible());
        }
        QCOMPARE(cells().text(Number, 14), QString("14"));
        QCOMPARE(cells().text(col == Always ? Delete : Always, 14), QString("no"));
        clickCell(col, 14);
        QCOMPARE(cells().text(col, 14), QString("no"));
        QCOMPARE(cells().text(StartDate, 14), QString());
        // Any text other than "yes" counts as not set: a click sets it.
        cells().setText(col, 15, "maybe");
        clickCell(col, 15);
        QCOMPARE(cells().text(col, 15), QString("yes"));
    }

    void allRowButtons_alternate_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("col");
        QTest::newRow("All Always") << "btn6" << int(Always);
        QTest::newRow("Delete all") << "btn7" << int(Delete);
    }
    void allRowButtons_alternate() {
        QFETCH(QString, button);
        QFETCH(int, col);
        setRow(3, {"3", "2024-05-17", "08:30", "2025-01-02", "18:05", "no", "no"});
        cells().setText(col, 77, "yes");
        auto* b = page->findChild<QPushButton*>(button);
        QTest::mouseClick(b, Qt::LeftButton);
        for (int r = 1; r <= 3000; ++r) QCOMPARE(cells().text(col, r), QString("yes"));
        QCOMPARE(cells().text(StartDate, 3), QString("2024-05-17"));  // dates untouched
        QTest::mouseClick(b, Qt::LeftButton);
        for (int r = 1; r <= 3000; ++r) QCOMPARE(cells().text(col, r), QString("no"));
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(cells().text(col, 2500), QString("yes"));
        QCOMPARE(cells().text(col == Always ? Delete : Always, 2500), QString("no"));
    }

    void numberColumn_onlyEditedInPlace() {
        clickCell(Number, 20);
        QTest::keyClick(grid, '+');
        QTest::keyClicks(QApplication::focusWidget(), "86138");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(cells().text(Number, 20), QString("+86138"));
        setRow(21, {"21", "", "", "", "", "yes", "no"});
        clickCell(StartDate, 21);
        QTest::keyClicks(grid, "2024");
        QCOMPARE(cells().text(StartDate, 21), QString());
        clickCell(Serial + 6, 21);  // a flag cell: typing changes nothing either
        QTest::keyClicks(grid, "no");
        QCOMPARE(cells().text(Always, 21),
                 QString("no"));  // the click toggled it, the keys did not
    }

    void wheel_scrollsOneLinePerNotch() {
        QScrollBar* bar = grid->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        wheel(grid->viewport(), -120);
        QCOMPARE(bar->value(), 1);
        wheel(grid->viewport(), -120);
        wheel(grid->viewport(), -120);
        QCOMPARE(bar->value(), 3);
        wheel(grid->viewport(), 120);
        QCOMPARE(bar->value(), 2);
        // Anywhere over the tab: the grid's scroll bar, a button, the panel.
        for (QWidget* w : {static_cast<QWidget*>(bar),
                           static_cast<QWidget*>(page->findChild<QPushButton*>("btn9")),
                           page->findChild<QWidget*>("pnl6")})
            wheel(w, -120);
        QCOMPARE(bar->value(), 5);
    }

    // Over a picker the wheel scrolls the grid and edits nothing, until a
    // click focuses the picker; even then not while the grid is scrolling.
    void wheelOverPicker_scrollsUntilClickFocused_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("cell");
        QTest::newRow("start date") << int(StartDate) << "2024/01/01";
        QTest::newRow("end time") << int(EndTime) << "23:58";
    }
    void wheelOverPicker_scrollsUntilClickFocused() {
        QFETCH(int, col);
        QFETCH(QString, cell);
        setRow(7, {"7", "2024/01/01", "08:00", "2025/01/01", "23:58", "no", "no"});
        clickCell(col, 7);
        QDateTimeEdit* p = page->picker(col);
        QTRY_VERIFY(p->isVisible());
        const QDateTime shown = p->dateTime();
        QScrollBar* bar = grid->verticalScrollBar();
        bar->setValue(2);
        const int top = bar->value();
        wheel(p, 120);  // up would make 2025 or 23:59
        wheel(p->findChild<QLineEdit*>(), -120);
        wheel(p, -120);
        QCOMPARE(bar->value(), top + 1);
        QCOMPARE(cells().text(col, 7), cell);
        QCOMPARE(p->dateTime(), shown);
        QVERIFY(p->isVisible());  // still over its cell, which is still in view
        QCOMPARE(p->geometry(), pickerCellRect(col, 7));

        // On its frame: a calendar picker would take that for its down button.
        QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(1, p->height() / 2));
        QTRY_VERIFY(p->hasFocus());
        QCOMPARE(p->dateTime(), shown);
        wheel(p, -120);  // the grid was scrolled a moment ago
        QCOMPARE(bar->value(), top + 2);
        QCOMPARE(p->dateTime(), shown);
        QTest::qWait(600);
        wheel(p, -120);
        QCOMPARE(bar->value(), top + 2);
        QVERIFY(p->dateTime() < shown);
    }

    // Keys typed on a cell that takes no text move nothing (no type-to-find).
    void typedKeys_onDateCell_moveNothing() {
        setRow(7, {"7", "2024/01/01", "08:00", "2025/01/01", "23:58", "no", "no"});
        setRow(2999, {"2999", "2023/05/05", "08:00", "2025/01/01", "23:58", "no", "no"});
        clickCell(StartDate, 7);
        QTRY_VERIFY(page->picker(StartDate)->isVisible());
        QTest::keyClicks(grid, "2");
        QTest::keyClicks(grid, "20");
        QCOMPARE(grid->currentRow(), 7);
        QCOMPARE(grid->currentCol(), int(StartDate));
        QCOMPARE(page->picker(StartDate)->geometry(), pickerCellRect(StartDate, 7));
        QCOMPARE(cells().text(StartDate, 7), QString("2024/01/01"));
    }

    // A whole date or time typed over the selected text sets every field; Tab
    // then writes it and goes on to the next cell; F2 reaches the picker.
    void pickerKeyboard_wholeValueTyped_tabToNextCell_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("typed");
        QTest::newRow("end date") << int(EndDate) << "2031/12/24";
        QTest::newRow("start time") << int(StartTime) << "21:07";
    }
    void pickerKeyboard_wholeValueTyped_tabToNextCell() {
        QFETCH(int, col);
        QFETCH(QString, typed);
        setRow(30, {"30", "2024/01/01", "08:00", "2025/01/01", "23:58", "no", "no"});
        clickCell(col, 30);
        QDateTimeEdit* p = page->picker(col);
        QTRY_VERIFY(p->isVisible());
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(p->hasFocus());
        QTest::keyClick(p, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(p, typed);
        QTest::keyClick(p, Qt::Key_Tab);
        QCOMPARE(cells().text(col, 30), typed);
        QCOMPARE(grid->currentCol(), col + 1);
        QCOMPARE(grid->currentRow(), 30);
        QVERIFY(grid->hasFocus());
    }

    // At the end of the list the rows stay aligned to the header and the
    // last one is whole.
    void scrolledToEnd_rowsAlignedToHeader() {
        page->resize(900, 557);  // a height that is no multiple of the rows
        QScrollBar* bar = grid->verticalScrollBar();
        bar->setValue(bar->maximum());
        QCOMPARE(grid->rowAt(0), bar->maximum());
        QCOMPARE(grid->cellRect(Number, bar->maximum() + 1).top(), 0);
        QVERIFY(grid->cellRect(Number, 3000).bottom() < grid->viewport()->height());
        clickCell(StartDate, 3000);
        QTRY_VERIFY(page->picker(StartDate)->isVisible());
        QCOMPARE(page->picker(StartDate)->geometry(), pickerCellRect(StartDate, 3000));
    }

    void painting_marksOutOfRangeAndUnreadableCells() {
        const QColor marked(192, 220, 192);
        setRow(1, {"1", "2024/13/01", "24:00", "2024/02/30", "00:00", "no", "no"});
        setRow(2, {"2", "2024/02/32", "12:60", "some text", "9:05", "no", "no"});
        grid->setCurrentCell(Number, 5);
        QCOMPARE(cellColor(StartDate, 1), marked);
        QCOMPARE(cellColor(StartTime, 1), marked);
        QVERIFY(cellColor(EndDate, 1) != marked);
        QVERIFY(cellColor(EndTime, 1) != marked);
        QCOMPARE(cellColor(StartDate, 2), marked);
        QCOMPARE(cellColor(StartTime, 2), marked);
        QCOMPARE(cellColor(EndDate, 2), marked);
        QVERIFY(cellColor(EndTime, 2) != marked);
        QVERIFY(cellColor(Number, 3) != marked);
    }

    void painting_checkBoxesDifferByFlag() {
        setRow(1, {"1", "", "", "", "", "yes", "no"});
        const QImage img = grid->viewport()->grab().toImage();
        const QRect yes = grid->cellRect(Always, 1), no = grid->cellRect(Delete, 1);
        const QImage a = img.copy(yes.center().x() - 8, yes.center().y() - 8, 16, 16);
        const QImage b = img.copy(no.center().x() - 8, no.center().y() - 8, 16, 16);
        QVERIFY(a != b);
        const QRect other = grid->cellRect(Delete, 2);
        QCOMPARE(img.copy(other.center().x() - 8, other.center().y() - 8, 16, 16), b);
    }

    void readButton_asksAndSavesButtonChecks() {
        prompts.answers.enqueue(false);
        QTest::mouseClick(page->findChild<QPushButton*>("btn10"), Qt::LeftButton);
        QCOMPARE(prompts.texts(),
                 QStringList{"Read the Authorized number list from GSM device to PC software?"});
        setRow(3, {"3", "", "", "", "", "no", "no"});
        QTest::mouseClick(page->findChild<QPushButton*>("btn9"), Qt::LeftButton);
        QVERIFY(prompts.last().endsWith("Wrong serial number:3"));
    }
};

QTEST_MAIN(TestNumbersPage)
#include "test_numbers_tab.moc"
