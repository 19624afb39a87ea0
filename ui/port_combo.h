#pragma once
// cbb9: the port list. Editable, so a user can type a port name or a full
// device path (/dev/ttyUSB0, a pseudo-terminal). USB adapters come and go, so
// the list is read again each time it drops down, keeping what was typed; the
// drop-down shows each port's adapter description beside its name while the
// item text stays the port name. USB adapters come first (see
// port_choice.h). The context menu, of the box and of its text, ends with
// "Find the controller", which the window answers by probing the ports.

#include <functional>
#include <QComboBox>
#include <QStringList>

#include "link/tcomm.h"

class PortCombo : public QComboBox {
    Q_OBJECT
public:
    explicit PortCombo(QWidget* parent = nullptr);

    // Where the list comes from (the system's serial ports; tests replace it).
    std::function<QList<SerialPortEntry>()> source = &Trecognitionserial::ports;

    // Fills the list from `source`, USB adapters first; the first item is
    // selected when `selectFirst`, otherwise the current text is kept.
    void refresh(bool selectFirst);
    // Shows `port`: its item when listed, otherwise as typed text.
    void preselect(const QString& port);
    // The listed port names, in list order.
    QStringList portNames() const;

    QAction* findAction = nullptr;  // "Find the controller"

    void showPopup() override;

signals:
    void findRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showMenu(const QPoint& globalPos);
};
