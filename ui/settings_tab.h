#pragma once
// The basic settings tab: the command panel (Read/Save Settings, Import/
// Export profile) and the settings grid strngrd_write with its six choice
// lists standing over their content cells.
//
// The widget only shows and forwards: the cell texts and choices live in
// the session's SettingsSheet, the input rules in settings/input_rules, the
// transfer in TBasicInf.

#include <array>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include "settings/settings_sheet.h"

class DeviceSession;
class StringGrid;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStyledItemDelegate;
class WheelGate;

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(DeviceSession& session, QWidget* parent = nullptr);
    ~SettingsPage() override;

    StringGrid* grid() const { return grid_; }
    QComboBox* choiceList(SettingsSheet::Choice c) const { return combos_[c]; }

    // Form handlers.
    void btn21Click();  // "Read Settings"
    void btn22Click();  // "Save Settings"
    void strngrd_writeSelectCell(int col, int row);
    // Runs the row's input rule on the in-place editor's whole text.
    void strngrd_writeSetEditText(int col, int row, const QString& text);
    void choiceListExit(SettingsSheet::Choice c);  // cbb1Exit ... cbb12Exit
    // Horizontal scrolling of the grid: caption and hidden choice lists.
    void settingsGridScrolled(int position);
    // Tab out of the grid: the focus goes on to the next (or previous) control.
    void leaveGrid(bool next);

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The profile buttons; their file operations live elsewhere.
    void importProfileRequested();
    void exportProfileRequested();

private:
    friend class SettingsEditDelegate;
    void editorOpened(QLineEdit* editor, int col, int row);
    void commitOpenEditor();
    // Puts each hidden choice list over its cell once that cell is on screen.
    void placeChoiceLists();
    void schedulePlacement();
    void showChoiceLists();

    DeviceSession& session_;
    SettingsSheet& sheet_;
    StringGrid* grid_ = nullptr;
    QStyledItemDelegate* delegate_ = nullptr;
    std::array<QComboBox*, SettingsSheet::ChoiceCount> combos_{};
    WheelGate* gate_ = nullptr;
    // The open in-place editor. Held as a plain widget: it may be on its way
    // out (being destroyed) when the grid reports it closed.
    QPointer<QWidget> editor_;
    QLineEdit* openEditor() const { return qobject_cast<QLineEdit*>(editor_.data()); }
    int editorRow_ = -1;
    bool placementPending_ = false;
};
