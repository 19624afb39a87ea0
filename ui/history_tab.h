#pragma once
// The history tab: "Read data", the filter range with its four pickers and
// "Filter" on top; "Export.CSV", "Export.XLS" and "Delete all" on the left;
// the history grid strngrd4 filling the rest.
//
// The page only shows and forwards: reading, compaction, deletion and the
// filter are THistoryInf's, the texts live in the session's history grid.
// The grid is read-only; it scrolls itself (the whole 1000 rows are there).

#include <QWidget>

class DeviceSession;
class QDateEdit;
class QPushButton;
class QScrollArea;
class QTimeEdit;
class StringGrid;

class HistoryPage : public QWidget {
    Q_OBJECT
public:
    HistoryPage(DeviceSession& session, QWidget* parent = nullptr);

    StringGrid* grid() const { return strngrd4_; }
    QDateEdit* dtp1() const { return dtp1_; }
    QTimeEdit* dtp2() const { return dtp2_; }
    QDateEdit* dtp3() const { return dtp3_; }
    QTimeEdit* dtp4() const { return dtp4_; }

    // Event handlers.
    void btn19Click();  // Read data
    void btn20Click();  // Filter
    void btn23Click();  // Delete all

private:
    DeviceSession& session_;
    QScrollArea* scrlbx3_ = nullptr;
    StringGrid* strngrd4_ = nullptr;
    QDateEdit* dtp1_ = nullptr;
    QTimeEdit* dtp2_ = nullptr;
    QDateEdit* dtp3_ = nullptr;
    QTimeEdit* dtp4_ = nullptr;
};
