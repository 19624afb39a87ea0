#include "ui/side_tab_bar.h"

#include <QPainter>
#include <QPainterPath>

SideTabBar::SideTabBar(QWidget* parent) : QTabBar(parent) {
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(15);
    setFont(f);
    setDrawBase(false);
    setExpanding(false);
}

QSize SideTabBar::tabSizeHint(int) const {
    return QSize(75, 80);
}

void SideTabBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = palette().color(QPalette::Button);
    for (int i = 0; i < count(); ++i) {
        const QRectF r = QRectF(tabRect(i)).adjusted(2.5, 2.5, -1.5, -2.5);
        const bool selected = i == currentIndex();
        QPainterPath path;
        path.addRoundedRect(r, 8, 8);
        p.fillPath(path, selected ? palette().color(QPalette::Base) : face);
        p.setPen(QPen(palette().color(QPalette::Mid), 1));
        p.drawPath(path);
        p.setPen(selected ? QColor(0, 0, 255) : QColor(0, 0, 0));
        QString caption = tabText(i);
        caption.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        p.drawText(r, Qt::AlignCenter, caption);
    }
}
