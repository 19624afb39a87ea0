#pragma once
// The "Traffic" page: every frame sent and received and the link's events,
// newest last, for watching a transfer and for support requests.

#include <QWidget>

class DeviceSession;
class QTableView;
class QCheckBox;

class TrafficPage : public QWidget {
    Q_OBJECT
public:
    TrafficPage(DeviceSession& session, QWidget* parent = nullptr);
    QTableView* view() const { return view_; }
    void saveAs();

private:
    DeviceSession& session_;
    QTableView* view_;
    QCheckBox* record_;
};
