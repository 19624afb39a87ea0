#pragma once
// TForm1: the one fixed-size window. Top bar (port, Open/Close, password,
// "Log in"), the page control with the settings, number list, history and
// help pages, and the status bar. The pages own their grids' behaviour; the
// window owns the serial port, the log-in and the start-up sequence.

#include <memory>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "link/tcomm.h"
#include "ui/session.h"

class PortCombo;
class PortProbe;
class StatusStrip;
class QtPrompts;
class SnapshotKeeper;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // With no prompts given the window shows real dialogs.
    explicit TForm1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    static constexpr int ClientWidth = 1054;
    static constexpr int ClientHeight = 653;

    DeviceSession& session() { return *session_; }
    SnapshotKeeper& snapshots() { return *snapshots_; }
    TComm cm1;

    PortCombo* cbb9 = nullptr;
    QPushButton* btn8 = nullptr;   // "Open" / "Close"
    QLineEdit* edt3 = nullptr;     // password
    QPushButton* btn1 = nullptr;   // "Log in"
    QPushButton* btn24 = nullptr;  // time synchronisation (hidden)
    QPushButton* btn25 = nullptr;  // checking mode (hidden)
    QTabWidget* pgc = nullptr;
    StatusStrip* stat1 = nullptr;
    QLabel* img4 = nullptr;                // help picture
    class QCheckBox* chkVerify = nullptr;  // read back every save
    class QToolButton* btnStop = nullptr;  // stops the running transfer (also Esc)

    // Even: port closed; odd: port open.
    int clickCount() const { return clicks_; }
    QString ConfigDir() const { return session_->ConfigDir; }

    void btn8Click();

    // Puts a port in the box: `requested` when given (varnel-configurator
    // --port PATH), else the port of the last successful log-in when present,
    // else the first of the list (USB adapters first).
    void preselectPort(const QString& requested = QString());
    // The port list's "Find the controller": probes the listed ports (and a
    // typed path that is not listed) and selects the first that answers.
    void findController();
    PortProbe* portProbe() const { return probe_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void buildTopBar();
    void buildPages();
    void setButtonsEnabled(bool enabled);
    void showPortState(bool open);
    void linkLost(const QString& reason);
    void transferRunning(bool running);
    // Another device, or none: what was known of the device no longer holds.
    void forgetDevice();

    std::unique_ptr<QtPrompts> ownPrompts_;
    std::unique_ptr<DeviceSession> session_;
    SnapshotKeeper* snapshots_ = nullptr;
    PortProbe* probe_ = nullptr;
    int clicks_ = 0;
};
