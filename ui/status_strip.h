#pragma once
// The window's status bar stat1: four panels left to right, "COM Port:"
// (100 px), the port lamp (50 px), the status text (200 px) and the progress
// bar pb1 over the last panel, 15 px short of its right edge, or ending
// beside a control that the window shows in that panel (the Stop button of
// a running transfer), never under it. A status text
// wider than its panel is cut with an ellipsis and shown whole as the panel's
// tooltip (the Traffic page's event list keeps every one as well).

#include <QFrame>
#include <QLabel>
#include <QProgressBar>

class StatusBarModel;

class StatusStrip : public QFrame {
    Q_OBJECT
public:
    explicit StatusStrip(StatusBarModel& model, QWidget* parent = nullptr);

    QLabel* portCaption() const { return panel0_; }
    QLabel* statusLabel() const { return panel2_; }
    QProgressBar* progressBar() const { return pb1_; }
    QLabel* lampClosed() const { return img1_; }
    QLabel* lampOpen() const { return img2_; }

    void setPortOpen(bool open);
    bool portOpenShown() const;

    QRect panelRect(int panel) const;
    // The status text as given, before any eliding.
    QString statusText() const { return statusText_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stat1DrawPanel();
    void placeProgressBar();
    bool isOwnWidget(const QObject* o) const;
    void setStatusText(const QString& text);
    void showStatusText();
    QString statusText_;
    QLabel* panel0_ = nullptr;
    QFrame* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QFrame* panel3_ = nullptr;
    QProgressBar* pb1_ = nullptr;
    QLabel* img1_ = nullptr;
    QLabel* img2_ = nullptr;
};
