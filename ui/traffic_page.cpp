#include "ui/traffic_page.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include "app/session.h"

namespace {

// Bad checksums and events in red.
class AlertColours : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole)
            return QIdentityProxyModel::data(index, TrafficLog::AlertRole).toBool()
                       ? QColor(190, 0, 0)
                       : QVariant();
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

TrafficPage::TrafficPage(DeviceSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlTraffic"));
    panel->setGeometry(0, 0, 100, 593);
    auto* save = new QPushButton(QStringLiteral("Save..."), panel);
    save->setObjectName(QStringLiteral("btnTrafficSave"));
    save->setGeometry(7, 47, 85, 30);
    auto* clear = new QPushButton(QStringLiteral("Clear"), panel);
    clear->setObjectName(QStringLiteral("btnTrafficClear"));
    clear->setGeometry(7, 97, 85, 30);
    record_ = new QCheckBox(QStringLiteral("Record"), panel);
    record_->setObjectName(QStringLiteral("chkTrafficRecord"));
    record_->setChecked(session_.traffic.enabled);
    record_->setGeometry(9, 147, 85, 22);

    auto* proxy = new AlertColours(this);
    proxy->setSourceModel(&session_.traffic);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("lvTraffic"));
    view_->setModel(proxy);
    view_->setGeometry(100, 0, 1054 - 75 - 100 - 4, 593 - 4);
    view_->verticalHeader()->setDefaultSectionSize(18);
    view_->verticalHeader()->hide();
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPointSize(8);
    view_->setFont(mono);
    const int widths[] = {90, 30, 110, 60, 50, 64};
    for (int c = 0; c < 6; ++c) view_->setColumnWidth(c, widths[c]);
    view_->horizontalHeader()->setStretchLastSection(true);

    // Follow the newest records while the view is at its end.
    connect(proxy, &QAbstractItemModel::rowsInserted, view_, [this] {
        QScrollBar* bar = view_->verticalScrollBar();
        if (bar->value() >= bar->maximum() - 40) view_->scrollToBottom();
    });
    connect(save, &QPushButton::clicked, this, &TrafficPage::saveAs);
    connect(clear, &QPushButton::clicked, this, [this] { session_.traffic.clear(); });
    connect(record_, &QCheckBox::toggled, this, [this](bool on) { session_.traffic.enabled = on; });
}

void TrafficPage::saveAs() {
    const QString proposed =
        QStringLiteral("traffic_") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
        QStringLiteral(".txt");
    const QString path = session_.feedback.prompts.saveFile(
        session_.ConfigDir, QStringLiteral("Text file|*.txt|(*.*)|*.*"), proposed);
    if (path.isEmpty()) return;
    QString error;
    if (!session_.traffic.saveText(path, &error))
        session_.feedback.prompts.message(
            QStringLiteral("The traffic could not be saved to %1: %2").arg(path, error));
    else
        session_.feedback.status.ShowStatus(QStringLiteral("Traffic saved"));
}
