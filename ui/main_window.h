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

#include "app/session.h"
#include "link/tcomm.h"

class PortCombo;
class PortProbe;
class StatusStrip;
class QtPrompts;
class SnapshotKeeper;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // When the pages other than the first are built. The program builds them
    // just after the window is first drawn, so the window is on screen sooner;
    // until then their tabs are there and a click on one builds it at once.
    // The port list is then also read just after the first frame.
    enum class PageBuilding { AtOnce, AfterFirstPaint };

    // With no prompts given the window shows real dialogs.
    explicit TForm1(Prompts* prompts = nullptr, QWidget* parent = nullptr,
                    PageBuilding building = PageBuilding::AtOnce);
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
    // else the first of the list (USB adapters first). The list is read in the
    // background (by the program, just after the window's first frame); the
    // choice is made again when it arrives, unless the user has typed in the
    // box by then.
    void preselectPort(const QString& requested = QString());
    // The port list's "Find the controller": probes the listed ports (and a
    // typed path that is not listed) and selects the first that answers.
    void findController();
    PortProbe* portProbe() const { return probe_; }

    // Builds the pages still waiting (nothing when all are there).
    void buildRemainingPages();
    bool pagesComplete() const { return pagesComplete_; }

signals:
    // The window has been drawn once; the remaining pages follow at once.
    void firstPainted();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormCreate(PageBuilding building);
    void buildTopBar();
    void buildPages(PageBuilding building);
    QWidget* makePage(int index);
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
    QString requestedPort_;
    bool portTyped_ = false;  // the user edited the box before the list came
    bool pagesComplete_ = false;
    bool painted_ = false;
    PageBuilding building_ = PageBuilding::AtOnce;
};
