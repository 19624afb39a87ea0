#pragma once
// Tabs on the left edge, 75 x 80 each, rounded, bold captions on two lines,
// the selected tab's caption blue. Captions are drawn upright (a plain West
// tab bar would turn them sideways).

#include <QTabBar>

class SideTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit SideTabBar(QWidget* parent = nullptr);

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
};
