#include "core/indicators.h"

SwitchTimer::SwitchTimer(int intervalMs, QObject* parent) : QObject(parent) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &SwitchTimer::expired);
}

void SwitchTimer::switchOn() {
    if (!timer_.isActive()) timer_.start();
}

void SwitchTimer::switchOff() {
    timer_.stop();
}

void SwitchTimer::setInterval(int ms) {
    // QTimer::setInterval restarts a running timer; an unchanged interval
    // must not.
    if (timer_.interval() != ms) timer_.setInterval(ms);
}

StatusBarModel::StatusBarModel(QObject* parent) : QObject(parent) {
    tmr2.setParent(this);
    tmr1.setParent(this);
    connect(&tmr2, &SwitchTimer::expired, this, &StatusBarModel::tmr2Timer);
    tmr2.switchOn();  // on at start: the still empty progress bar is hidden 3 s after start-up
}

void StatusBarModel::setPanelText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    emit statusTextChanged(text_);
}

void StatusBarModel::setProgressState(int position, bool visible) {
    if (position == position_ && visible == visible_) return;
    position_ = position;
    visible_ = visible;
    emit progressChanged(position_, visible_);
}

void StatusBarModel::tmr2Timer() {
    Tstatusbar_ctrl(*this).ShowStatus(QString());
    Tprogressbar_ctrl(*this).SetProgress(100);
    tmr2.switchOff();
}

void Tstatusbar_ctrl::ShowStatus(const QString& text) {
    bar_.setPanelText(text);
    bar_.tmr2.switchOn();
    bar_.tmr2.setInterval(bar_.statusClearMs);
}

void Tprogressbar_ctrl::SetProgress(quint16 value) {
    bool visible = bar_.progressVisible();
    if (value > 0) visible = true;
    const int position = qMin<int>(value, 100);
    if (value == 100) visible = false;
    bar_.setProgressState(position, visible);
}
