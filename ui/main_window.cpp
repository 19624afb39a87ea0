#include "ui/main_window.h"

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <thread>

#include "app/port_choice.h"
#include "app/snapshots.h"
#include "ui/help_picture.h"
#include "ui/history_tab.h"
#include "ui/numbers_tab.h"
#include "ui/port_combo.h"
#include "ui/qt_prompts.h"
#include "ui/settings_tab.h"
#include "ui/side_tab_bar.h"
#include "ui/status_strip.h"
#include "ui/traffic_page.h"

namespace {

// A side tab page whose children are placed by coordinates.
class SideTabs : public QTabWidget {
public:
    explicit SideTabs(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new SideTabBar(this));
        setTabPosition(QTabWidget::West);
    }
};

// Between a label and the box it names.
constexpr int LabelGap = 6;

QString portName(const QString& typed) {
    // Leading and trailing blanks and control characters removed.
    int b = 0, e = typed.size();
    while (b < e && typed[b].unicode() <= 0x20) ++b;
    while (e > b && typed[e - 1].unicode() <= 0x20) --e;
    return typed.mid(b, e - b);
}

}  // namespace

TForm1::TForm1(Prompts* prompts, QWidget* parent, PageBuilding building)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    {
        // The first text measured reads the system's font list, tens of
        // milliseconds; a worker reads it while the session is built (the font
        // database may be used from any thread).
        std::thread fonts([] { QFontDatabase::families(); });
        session_ = std::make_unique<DeviceSession>(*prompts, this);
        fonts.join();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Varnel Configurator V1.7.3"));
    setFixedSize(ClientWidth, ClientHeight);
    FormCreate(building);
}

TForm1::~TForm1() {
    cm1.ClosePort();
    if (snapshots_) snapshots_->waitForWrites();
    // The pages work on the session: they go before it does (child widgets
    // would otherwise be destroyed after the members).
    delete pgc;
    pgc = nullptr;
}

void TForm1::FormCreate(PageBuilding building) {
    building_ = building;
    // Centre the window as the fixed layout expects (40 px left for a task bar).
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QSize size = s->size();
        move((size.width() - ClientWidth) / 2, (size.height() - ClientHeight - 40) / 2);
    }
    buildTopBar();
    buildPages(building);

    stat1 = new StatusStrip(session_->feedback.bar, this);
    stat1->setGeometry(0, ClientHeight - 24, ClientWidth, 24);

    DeviceLink& link = session_->link;
    Feedback& feedback = session_->feedback;
    link.port = &cm1;
    cm1.OnReceiveData = [&link](quint8 b) { link.cm1ReceiveData(b); };
    connect(&cm1, &TComm::linkLost, this, &TForm1::linkLost);
    connect(&link.login, &Tpasswordverify::buttonsEnabled, this, &TForm1::setButtonsEnabled);
    // The port a log-in succeeded on is the one offered at the next start.
    connect(&link.login, &Tpasswordverify::buttonsEnabled, this, [this](bool enabled) {
        if (enabled && cm1.isOpen()) portchoice::remember(cm1.CommName);
    });
    link.login.passwordBox = [this] { return edt3->text(); };
    setButtonsEnabled(link.login.unlocked());

    // Esc, or the small button that appears in the status bar, stops the
    // running transfer at once.
    btnStop = new QToolButton(stat1);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setText(QStringLiteral("Stop"));
    btnStop->setToolTip(QStringLiteral("Stop the transfer (Esc)"));
    btnStop->hide();
    connect(btnStop, &QToolButton::clicked, this, [&link] { link.cancelActive(); });
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, [&link] { link.cancelActive(); });
    connect(&link, &DeviceLink::transferRunning, this, &TForm1::transferRunning);
    // Snapshots after reads, and what a save will change before it writes.
    snapshots_ = new SnapshotKeeper(*session_, this);
    connect(snapshots_, &SnapshotKeeper::snapshotFailed, this, [&feedback](const QString& error) {
        feedback.status.ShowStatus(QStringLiteral("Snapshot not saved: ") + error);
    });
    link.beforeWrite = [this, &feedback](Tsend_rec_command* t) {
        QString question = snapshots_->changeQuestion(t);
        if (!t->writesChangedPagesOnly())
            return question.isEmpty() || feedback.prompts.confirm(question);
        // Only the pages that differ from the device go; the whole list is
        // one answer away (the device may have been changed by SMS since).
        if (!question.isEmpty()) question += QStringLiteral("\n\n");
        question += QStringLiteral("%1 of %2 pages will be written.")
                        .arg(t->pagesToWrite())
                        .arg(t->PageTotal);
        const int answer = feedback.prompts.choose(
            question, {QStringLiteral("OK(&Y)"), QStringLiteral("Write all pages"),
                       QStringLiteral("Cancel(&N)")});
        if (answer == 1) t->writeAllPages();
        return answer == 0 || answer == 1;
    };
    link.verifyWrites = chkVerify->isChecked();
    connect(chkVerify, &QCheckBox::toggled, this, [&link](bool on) { link.verifyWrites = on; });

    probe_ = new PortProbe(this);
    connect(cbb9, &PortCombo::findRequested, this, &TForm1::findController);
    connect(probe_, &PortProbe::probing, this, [&feedback](const QString& port, int n, int total) {
        feedback.status.ShowStatus(
            QStringLiteral("Looking for the controller: %1 (%2/%3)").arg(port).arg(n).arg(total));
    });
    connect(probe_, &PortProbe::portDone, this, [this](const PortProbe::Result& r) {
        session_->traffic.addEvent(
            QStringLiteral("Find: %1: %2").arg(r.port, PortProbe::verdictText(r)));
    });
    connect(probe_, &PortProbe::finished, this, [this, &feedback] {
        const QString found = probe_->firstController();
        const int tried = int(probe_->results().size());
        if (!found.isEmpty()) {
            cbb9->preselect(found);
            feedback.status.ShowStatus(QStringLiteral("Controller found on %1").arg(found));
        } else {
            feedback.status.ShowStatus(
                tried == 1 ? QStringLiteral("No controller answered (1 port tried)")
                           : QStringLiteral("No controller answered (%1 ports tried)").arg(tried));
        }
        btn8->setEnabled(true);
        cbb9->findAction->setEnabled(!cm1.isOpen());
    });

    // The remembered port when it is a path that exists is offered at once;
    // the rest of the choice waits for the list.
    connect(cbb9->lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (cbb9->listing()) portTyped_ = true;
    });
    connect(cbb9, &PortCombo::listed, this, [this] {
        if (!portTyped_) preselectPort(requestedPort_);
    });
    // The program reads the list once the window is on screen: the worker
    // would otherwise compete with the display server for the processor.
    // A drop-down opened before that reads the list itself.
    if (building == PageBuilding::AtOnce) cbb9->refreshInBackground(false);
    preselectPort();
}

void TForm1::preselectPort(const QString& requested) {
    if (!requested.trimmed().isEmpty()) requestedPort_ = requested;
    QList<SerialPortEntry> listed;
    for (const QString& name : cbb9->portNames()) listed.append({name, {}});
    const auto exists = [](const QString& path) { return QFileInfo::exists(path); };
    cbb9->preselect(
        portchoice::preselected(listed, requestedPort_, portchoice::remembered(), exists));
}

void TForm1::findController() {
    if (cm1.isOpen() || probe_->running()) return;
    cbb9->refresh(false);
    QStringList ports = cbb9->portNames();
    const QString typed = portName(cbb9->currentText());
    if (!typed.isEmpty() && !ports.contains(typed)) ports.prepend(typed);
    if (ports.isEmpty()) {
        session_->feedback.status.ShowStatus(QStringLiteral("No serial port to look at"));
        return;
    }
    btn8->setEnabled(false);
    cbb9->findAction->setEnabled(false);
    probe_->start(ports);
}

void TForm1::buildTopBar() {
    auto* pnl4 = new QWidget(this);
    pnl4->setObjectName(QStringLiteral("pnl4"));
    pnl4->setGeometry(0, 0, ClientWidth, 36);

    QFont labelFont = font();
    labelFont.setPixelSize(12);
    auto* lbl3 = new QLabel(QStringLiteral("COM Port:"), pnl4);
    lbl3->setObjectName(QStringLiteral("lbl3"));
    lbl3->setFont(labelFont);
    lbl3->move(28, 13);
    lbl3->adjustSize();
    lbl3->move(28, 13 + (14 - lbl3->height()) / 2);

    cbb9 = new PortCombo(pnl4);
    cbb9->setGeometry(85, 9, 89, 21);
    lbl3->move(qMin(28, cbb9->x() - LabelGap - lbl3->width()), lbl3->y());

    btn8 = new QPushButton(QStringLiteral("Open"), pnl4);
    btn8->setObjectName(QStringLiteral("btn8"));
    btn8->setGeometry(197, 4, 90, 30);
    connect(btn8, &QPushButton::clicked, this, &TForm1::btn8Click);

    auto* lbl4 = new QLabel(QStringLiteral("Password:"), pnl4);
    lbl4->setObjectName(QStringLiteral("lbl4"));
    lbl4->setFont(labelFont);
    lbl4->adjustSize();
    edt3 = new QLineEdit(QStringLiteral("5729"), pnl4);
    edt3->setObjectName(QStringLiteral("edt3"));
    edt3->setGeometry(373, 9, 93, 21);
    // The label ends a few pixels before its box, whatever the font measures.
    lbl4->move(qMin(319, edt3->x() - LabelGap - lbl4->width()),
               12 + (14 - lbl4->height()) / 2);

    btn1 = new QPushButton(QStringLiteral("Log in"), pnl4);
    btn1->setObjectName(QStringLiteral("btn1"));
    btn1->setGeometry(485, 4, 90, 30);
    connect(btn1, &QPushButton::clicked, this, [this] { session_->link.login.Login(); });

    chkVerify = new QCheckBox(QStringLiteral("Verify after save"), pnl4);
    chkVerify->setObjectName(QStringLiteral("chkVerify"));
    chkVerify->setToolTip(
        QStringLiteral("Read every saved page back and compare it with what was sent"));
    chkVerify->setChecked(true);
    chkVerify->setGeometry(600, 9, 140, 21);

    btn24 = new QPushButton(QString::fromUtf8("同步时间"), pnl4);
    btn24->setObjectName(QStringLiteral("btn24"));
    btn24->hide();
    connect(btn24, &QPushButton::clicked, this, [this] { session_->link.timeSync.Send(); });
    btn25 = new QPushButton(QString::fromUtf8("HEX设置模式"), pnl4);
    btn25->setObjectName(QStringLiteral("btn25"));
    btn25->hide();
    connect(btn25, &QPushButton::clicked, this, [this] { session_->link.checkingMode.Send(); });
}

void TForm1::buildPages(PageBuilding building) {
    pgc = new SideTabs(this);
    pgc->setObjectName(QStringLiteral("pgc"));
    pgc->setGeometry(0, 36, ClientWidth, 593);

    const QString captions[] = {QStringLiteral("ts1"), QStringLiteral("ts2"),
                                QStringLiteral("History"), QStringLiteral("Help"),
                                QStringLiteral("Traffic")};
    pgc->addTab(makePage(0), captions[0]);
    for (int i = 1; i < 5; ++i)
        pgc->addTab(building == PageBuilding::AtOnce ? makePage(i) : new QWidget(pgc),
                    captions[i]);
    pgc->setCurrentIndex(0);
    pagesComplete_ = building == PageBuilding::AtOnce;
    // A tab clicked before its page is built gets it at once.
    connect(pgc, &QTabWidget::currentChanged, this, [this] {
        if (!pagesComplete_)
            QMetaObject::invokeMethod(this, &TForm1::buildRemainingPages, Qt::QueuedConnection);
    });
}

QWidget* TForm1::makePage(int index) {
    switch (index) {
    case 0: {
        QWidget* ts1 = new SettingsPage(*session_, pgc);
        ts1->setObjectName(QStringLiteral("ts1"));
        return ts1;
    }
    case 1: {
        QWidget* ts2 = new NumbersPage(*session_, pgc);
        ts2->setObjectName(QStringLiteral("ts2"));
        return ts2;
    }
    case 2: {
        QWidget* ts3 = new HistoryPage(*session_, pgc);
        ts3->setObjectName(QStringLiteral("ts3"));
        return ts3;
    }
    case 3: {
        auto* ts4 = new QWidget(pgc);
        ts4->setObjectName(QStringLiteral("ts4"));
        img4 = new QLabel(ts4);
        img4->setObjectName(QStringLiteral("img4"));
        img4->setPixmap(QPixmap::fromImage(help_picture::render()));
        img4->setGeometry(64, 40, help_picture::Width, help_picture::Height);
        return ts4;
    }
    default: {
        auto* ts5 = new TrafficPage(*session_, pgc);
        ts5->setObjectName(QStringLiteral("ts5"));
        return ts5;
    }
    }
}

void TForm1::buildRemainingPages() {
    if (pagesComplete_) return;
    pagesComplete_ = true;
    const int current = pgc->currentIndex();
    {
        const QSignalBlocker quiet(pgc);
        for (int i = 1; i < pgc->count(); ++i) {
            QWidget* placeholder = pgc->widget(i);
            const QString caption = pgc->tabText(i);
            pgc->removeTab(i);
            pgc->insertTab(i, makePage(i), caption);
            delete placeholder;
        }
        pgc->setCurrentIndex(current);
    }
    setButtonsEnabled(session_->link.login.unlocked());
}

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (painted_) return;
    painted_ = true;
    // Queued: runs once this first frame is on screen.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit firstPainted();
            if (building_ == PageBuilding::AfterFirstPaint) cbb9->refreshInBackground(false);
            buildRemainingPages();
        },
        Qt::QueuedConnection);
}

void TForm1::showEvent(QShowEvent* event) {
    // FormShow: the captions stored with the pages are replaced by their
    // two-line forms.
    pgc->setTabText(0, QStringLiteral("Basic\r\nSettings"));
    pgc->setTabText(1, QStringLiteral("Number\r\nList"));
    pgc->setTabText(2, QStringLiteral("Historical\r\nData"));
    QWidget::showEvent(event);
}

void TForm1::setButtonsEnabled(bool enabled) {
    for (const QString& name : Tpasswordverify::buttonNames())
        if (auto* b = findChild<QPushButton*>(name)) b->setEnabled(enabled);
}

void TForm1::showPortState(bool open) {
    btn8->setText(open ? QStringLiteral("Close") : QStringLiteral("Open"));
    cbb9->findAction->setEnabled(!open && !probe_->running());
    stat1->setPortOpen(open);
}

void TForm1::btn8Click() {
    cm1.CommName = portName(cbb9->currentText());
    if (clicks_ % 2 == 0) {
        try {
            cm1.OpenPort();
        } catch (const ECommsError&) {
        }
        // A failure that raises nothing still leaves its text: caption and
        // lamp must tell the truth either way.
        if (!cm1.isOpen() || !cm1.PortOpenError.isEmpty()) {
            QString text = QStringLiteral("COM Port error");
            if (!cm1.PortOpenReason.isEmpty()) text += QStringLiteral("\n\n") + cm1.PortOpenReason;
            session_->feedback.prompts.inform(text);
            showPortState(cm1.isOpen());
            if (cm1.isOpen()) ++clicks_;  // "already opened": the port is open
            return;
        }
        ++clicks_;
        showPortState(true);
        forgetDevice();
    } else {
        ++clicks_;
        cm1.ClosePort();
        session_->link.portLost();
        showPortState(false);
        forgetDevice();
    }
}

void TForm1::forgetDevice() {
    snapshots_->forgetDevice();
    session_->telephoneSend.forgetDevice();
}

void TForm1::transferRunning(bool running) {
    const QRect panel = stat1->panelRect(3);
    btnStop->setGeometry(panel.right() - 15 - 52, panel.top() + 2, 50, panel.height() - 4);
    btnStop->setVisible(running);
    btnStop->raise();
}

void TForm1::linkLost(const QString& reason) {
    if (clicks_ % 2 != 0) ++clicks_;
    session_->link.portLost();
    showPortState(false);
    forgetDevice();
    session_->feedback.status.ShowStatus(
        reason.isEmpty() ? QStringLiteral("Port closed: the device was disconnected") : reason);
}
