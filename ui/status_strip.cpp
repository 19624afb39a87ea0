#include "ui/status_strip.h"

#include <QChildEvent>
#include <QPainter>

#include "core/indicators.h"

namespace {

QPixmap lamp(const QColor& color) {
    QPixmap pm(17, 17);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(6, 6), 10);
    g.setColorAt(0, color.lighter(170));
    g.setColorAt(1, color);
    p.setBrush(g);
    p.setPen(QPen(color.darker(160), 1));
    p.drawEllipse(QRectF(1, 1, 15, 15));
    return pm;
}

QFrame* sunkenPanel(QFrame* panel) {
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    return panel;
}

}  // namespace

StatusStrip::StatusStrip(StatusBarModel& model, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("stat1"));
    panel0_ = new QLabel(QStringLiteral("COM Port:"), this);
    panel0_->setAlignment(Qt::AlignCenter);
    sunkenPanel(panel0_);
    panel1_ = sunkenPanel(new QFrame(this));
    panel2_ = new QLabel(this);
    panel2_->setObjectName(QStringLiteral("statusText"));
    sunkenPanel(panel2_);
    panel2_->setIndent(3);
    panel3_ = sunkenPanel(new QFrame(this));
    pb1_ = new QProgressBar(this);
    pb1_->setObjectName(QStringLiteral("pb1"));
    pb1_->setRange(0, 100);
    pb1_->setValue(0);
    pb1_->setTextVisible(false);
    img1_ = new QLabel(this);
    img1_->setObjectName(QStringLiteral("img1"));
    img1_->setPixmap(lamp(QColor(220, 30, 30)));
    img2_ = new QLabel(this);
    img2_->setObjectName(QStringLiteral("img2"));
    img2_->setPixmap(lamp(QColor(30, 190, 40)));
    setPortOpen(false);

    connect(&model, &StatusBarModel::statusTextChanged, this, &StatusStrip::setStatusText);
    connect(&model, &StatusBarModel::progressChanged, this, [this](int position, bool visible) {
        pb1_->setValue(position);
        pb1_->setVisible(visible);
    });
    setStatusText(model.statusText());
    pb1_->setValue(model.progressPosition());
    pb1_->setVisible(model.progressVisible());
}

void StatusStrip::setPortOpen(bool open) {
    // The lamp in front is the one seen.
    (open ? img2_ : img1_)->raise();
    img2_->setVisible(open);
    img1_->setVisible(!open);
}

bool StatusStrip::portOpenShown() const {
    return !img2_->isHidden() && img1_->isHidden();
}

QRect StatusStrip::panelRect(int panel) const {
    const int h = height();
    switch (panel) {
        case 0:
            return QRect(0, 0, 100, h);
        case 1:
            return QRect(100, 0, 50, h);
        case 2:
            return QRect(150, 0, 200, h);
        default:
            return QRect(350, 0, width() - 350, h);
    }
}

void StatusStrip::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    stat1DrawPanel();
}

void StatusStrip::stat1DrawPanel() {
    panel0_->setGeometry(panelRect(0));
    panel1_->setGeometry(panelRect(1));
    panel2_->setGeometry(panelRect(2));
    panel3_->setGeometry(panelRect(3));
    placeProgressBar();
    const QRect lampPanel = panelRect(1);
    img1_->setGeometry(lampPanel.left() + 15, lampPanel.top() + 2, 17, 17);
    img2_->setGeometry(lampPanel.left() + 15, lampPanel.top() + 2, 17, 17);
    showStatusText();
}

void StatusStrip::placeProgressBar() {
    const QRect r = panelRect(3);
    int end = r.left() + r.width() - 15;  // first pixel right of the bar
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || isOwnWidget(w) || w->isHidden()) continue;
        const QRect g = w->geometry();
        if (g.left() >= r.left() && g.left() < end && g.top() < r.bottom() && g.bottom() > r.top())
            end = g.left() - 3;  // a little gap before the control
    }
    pb1_->setGeometry(r.left(), r.top(), qMax(0, end - r.left()), r.height());
}

bool StatusStrip::isOwnWidget(const QObject* o) const {
    return o == panel0_ || o == panel1_ || o == panel2_ || o == panel3_ || o == pb1_ ||
           o == img1_ || o == img2_;
}

void StatusStrip::childEvent(QChildEvent* event) {
    QFrame::childEvent(event);
    // Controls the window puts into the bar: the progress bar makes room.
    if (event->added() && event->child()->isWidgetType()) event->child()->installEventFilter(this);
}

bool StatusStrip::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            if (pb1_ && !isOwnWidget(watched) && watched->parent() == this) placeProgressBar();
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

void StatusStrip::setStatusText(const QString& text) {
    statusText_ = text;
    showStatusText();
}

void StatusStrip::showStatusText() {
    const int room = panel2_->contentsRect().width() - panel2_->indent() - 2;
    const QString shown =
        panel2_->fontMetrics().elidedText(statusText_, Qt::ElideRight, qMax(0, room));
    panel2_->setText(shown);
    panel2_->setToolTip(shown == statusText_ ? QString() : statusText_);
}
