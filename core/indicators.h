#pragma once
// The status bar's state: the status text, the progress bar and the two
// timers that belong to them.
//
//   tmr1  request watchdog, 3000 ms: switched on by every request sender,
//         switched off by every received byte. Expiry means "Receive timeout".
//   tmr2  status clearing, 3000 ms: switched on by ShowStatus; on expiry it
//         clears the text, hides the progress bar and switches itself off.
//
// Both follow the toolkit rule that switching on a timer that is already on
// does not restart its countdown. So a status text is cleared 3 s after the
// first ShowStatus since tmr2 was last off, not after the latest one, and the
// watchdog measures from the request to the first byte of its reply.
//
// The window's status bar only shows this state (signals below); tests and
// the command line use it without any widget.

#include <QObject>
#include <QString>
#include <QTimer>

// A timer with switch-on semantics: on -> on keeps the running countdown.
class SwitchTimer : public QObject {
    Q_OBJECT
public:
    explicit SwitchTimer(int intervalMs, QObject* parent = nullptr);
    void switchOn();
    void switchOff();
    bool isOn() const { return timer_.isActive(); }
    // Setting the interval it already has changes nothing.
    void setInterval(int ms);
    int interval() const { return timer_.interval(); }
signals:
    void expired();

private:
    QTimer timer_;
};

class StatusBarModel : public QObject {
    Q_OBJECT
public:
    explicit StatusBarModel(QObject* parent = nullptr);

    QString statusText() const { return text_; }
    int progressPosition() const { return position_; }
    bool progressVisible() const { return visible_; }

    // Panel 2 written directly, without starting tmr2.
    void setPanelText(const QString& text);
    void setProgressState(int position, bool visible);

    SwitchTimer tmr1{3000};  // request watchdog
    SwitchTimer tmr2{3000};  // status clearing
    // The interval ShowStatus gives tmr2 (3000 ms; tests shorten it).
    int statusClearMs = 3000;
signals:
    void statusTextChanged(const QString& text);
    void progressChanged(int position, bool visible);

private:
    void tmr2Timer();
    QString text_;
    int position_ = 0;
    bool visible_ = true;
};

// Status indicator: text to panel 2, then tmr2 on.
class Tstatusbar_ctrl {
public:
    explicit Tstatusbar_ctrl(StatusBarModel& bar) : bar_(bar) {}
    void ShowStatus(const QString& text);

private:
    StatusBarModel& bar_;
};

// Progress indicator, 0 to 100. A value above 0 shows the bar, exactly 100
// hides it (an operation is done), above 100 shows it full.
class Tprogressbar_ctrl {
public:
    explicit Tprogressbar_ctrl(StatusBarModel& bar) : bar_(bar) {}
    void SetProgress(quint16 value);

private:
    StatusBarModel& bar_;
};
