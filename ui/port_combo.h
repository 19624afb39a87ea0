#pragma once
// cbb9: the port list. Editable, so a user can type a port name or a full
// device path (/dev/ttyUSB0, a pseudo-terminal). USB adapters come and go, so
// the list is read again each time it drops down, keeping what was typed; the
// drop-down shows each port's adapter description beside its name while the
// item text stays the port name. USB adapters come first (see
// port_choice.h). The context menu, of the box and of its text, ends with
// "Find the controller", which the window answers by probing the ports.

#include <functional>
#include <thread>
#include <QComboBox>
#include <QStringList>

#include "link/tcomm.h"

class PortCombo : public QComboBox {
    Q_OBJECT
public:
    explicit PortCombo(QWidget* parent = nullptr);
    ~PortCombo() override;

    // Where the list comes from (the system's serial ports; tests replace it).
    std::function<QList<SerialPortEntry>()> source = &Trecognitionserial::ports;

    // Fills the list from `source`, USB adapters first; the first item is
    // selected when `selectFirst`, otherwise the current text is kept.
    void refresh(bool selectFirst);
    // The same, with `source` read on a worker thread: asking the system for
    // its ports takes tens of milliseconds, too long to hold up the window's
    // first paint. `listed` follows once the items are in. A refresh() meanwhile
    // waits for the worker and makes its answer moot.
    void refreshInBackground(bool selectFirst);
    bool listing() const { return pending_; }
    // Shows `port`: its item when listed, otherwise as typed text.
    void preselect(const QString& port);
    // The listed port names, in list order.
    QStringList portNames() const;

    QAction* findAction = nullptr;  // "Find the controller"

    void showPopup() override;

signals:
    void findRequested();
    void listed();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showMenu(const QPoint& globalPos);
    void fill(const QList<SerialPortEntry>& ports, bool selectFirst);
    void joinWorker();

    std::thread worker_;
    int generation_ = 0;  // answers of superseded workers are dropped
    bool pending_ = false;
};
