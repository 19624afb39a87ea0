#pragma once
// cbb9: the port list. Editable, so a user can type a port name or a full
// device path (/dev/ttyUSB0, a pseudo-terminal). USB adapters come and go, so
// the list is read again each time it drops down, keeping what was typed; the
// drop-down shows each port's adapter description beside its name while the
// item text stays the port name.

#include <functional>
#include <QComboBox>

#include "link/tcomm.h"

class PortCombo : public QComboBox {
    Q_OBJECT
public:
    explicit PortCombo(QWidget* parent = nullptr);

    // Where the list comes from (the system's serial ports; tests replace it).
    std::function<QList<SerialPortEntry>()> source = &Trecognitionserial::ports;

    // Fills the list from `source`; the first item is selected when
    // `selectFirst`, otherwise the current text is kept.
    void refresh(bool selectFirst);

    void showPopup() override;
};
