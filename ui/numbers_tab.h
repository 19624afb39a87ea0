#pragma once
// The number list tab: the button panel, the number grid strngrd3 and the
// four date/time pickers laid over its cells.
//
// The page only shows and forwards. The grid's texts live in the session's
// TextGrid (the store that the transfer and the file layouts use); reading
// and saving are TtelephoneSend's; what a cell means and how it is checked
// is numbers/number_record.h.
//
// Editing rules:
//  - column 1 (number) is free text, edited in place;
//  - columns 2-5 are edited through a picker placed over the current cell,
//    never over a row whose "Always(V)" is set; the picker writes its value
//    back when it loses the focus (the start-date picker also at once on
//    every change, and hides itself on leaving); a click or F2 gives it the
//    keyboard, Tab goes on to the grid's next cell;
//  - the wheel anywhere over the tab scrolls the grid one line per notch; a
//    picker takes it only after a click has focused it, and never while the
//    grid is being scrolled (it may pass under the pointer);
//  - keys typed on a cell that takes no text do nothing (no type-to-find);
//  - a click on a flag cell (columns 6, 7) toggles it; setting a flag clears
//    the row's dates and times;
//  - "All Always" / "Delete all" set their column for every row, alternately
//    "yes" and "no" on successive presses.
//
// A date or time cell that a picker cannot show (not digits where the fields
// are read, out of range, or a day that does not exist such as 2024/02/30)
// leaves the picker blank rather than showing some other value; a blank
// picker writes nothing back until the user sets a value in it.

#include <QDateTimeEdit>
#include <QWidget>

class DeviceSession;
class QPushButton;
class QScrollArea;
class QWheelEvent;
class StringGrid;
class WheelGate;
class TextGrid;

class NumbersPage : public QWidget {
    Q_OBJECT
public:
    NumbersPage(DeviceSession& session, QWidget* parent = nullptr);

    StringGrid* grid() const { return strngrd3_; }
    // The picker of date/time column 2..5, or nullptr.
    QDateTimeEdit* picker(int col) const;
    // True while the picker shows nothing because its cell cannot be shown.
    bool pickerBlank(int col) const;

    bool allAlwaysOn() const { return allAlways_; }
    bool deleteAllOn() const { return deleteAll_; }

    // Event handlers (also reachable from tests and the command line).
    void btn10Click();  // Read
    void btn9Click();   // Save
    void btn6Click();   // All Always
    void btn7Click();   // Delete all
    void strngrd3SelectCell(int col, int row);
    void strngrd3Click(int col, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncPickers();
    void loadPicker(int col, int row);
    void writeBack(int col);
    void hideAllPickers();
    void setColumnForAll(int col, bool on);
    void wheelLines(int angleDelta);
    void scrollByWheel(QWheelEvent* w);
    void tabFromPicker(bool next);
    bool rowIsAlways(int row) const;

    DeviceSession& session_;
    TextGrid& numbers_;
    QScrollArea* scrlbx1_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* pnl6_ = nullptr;
    StringGrid* strngrd3_ = nullptr;
    QDateTimeEdit* pickers_[4] = {};  // columns 2..5
    WheelGate* gate_ = nullptr;
    bool allAlways_ = false;
    bool deleteAll_ = false;
    bool loading_ = false;  // pickers being loaded from cells: not a user change
    bool writing_ = false;  // a picker writing its cell: do not reload it
    int wheelRest_ = 0;     // wheel angle not yet turned into lines
};
