#include "ui/settings_tab.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include "app/file_buttons.h"
#include "app/session.h"
#include "office/settings_profile.h"
#include "settings/input_rules.h"
#include "ui/string_grid.h"

namespace {

constexpr QAbstractItemView::EditTriggers kEditing =
    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;

}  // namespace

// In-place editor of the content column: a line edit that reports every
// change of its text; the description column gets no editor. On a choice
// row the editor lies under the row's list, which stays in sight while the
// typed key runs the row's rule. Tab ends the edit and leaves the grid.
class SettingsEditDelegate : public GridCellDelegate {
public:
    SettingsEditDelegate(SettingsPage& page) : GridCellDelegate(&page), page_(page) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const int col = index.column() + 1, row = index.row() + 1;
        if (col == 2) return nullptr;
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        QObject::connect(editor, &QLineEdit::textEdited, &page_,
                         [this, col, row](const QString& text) {
                             page_.strngrd_writeSetEditText(col, row, text);
                         });
        page_.editorOpened(editor, col, row);
        if (SettingsSheet::choiceAt(row) >= 0) editor->lower();
        return editor;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* editor = qobject_cast<QLineEdit*>(watched);
        if (editor && event->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(event);
            const bool tab = k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab;
            if (tab && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                finish(editor);
                page_.leaveGrid(k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier));
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

    void finish(QLineEdit* editor) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

private:
    SettingsPage& page_;
};

SettingsPage::SettingsPage(DeviceSession& session, QWidget* parent)
    : QWidget(parent), session_(session), sheet_(session.settings) {
    setObjectName(QStringLiteral("ts1"));

    auto* pnl14 = new QWidget(this);
    pnl14->setObjectName(QStringLiteral("pnl14"));
    pnl14->setFixedWidth(100);
    struct ButtonSpec {
        const char* name;
        const char* caption;
        int top;
    };
    const ButtonSpec specs[] = {{"btn21", "Read Settings", 47},
                                {"btn22", "Save Settings", 113},
                                {"btn16", "Import profile", 179},
                                {"btn17", "Export profile", 246}};
    QPushButton* buttons[4];
    for (int i = 0; i < 4; ++i) {
        buttons[i] = new QPushButton(QString::fromLatin1(specs[i].caption), pnl14);
        buttons[i]->setObjectName(QString::fromLatin1(specs[i].name));
        buttons[i]->setGeometry(7, specs[i].top, 85, 31);
    }
    connect(buttons[0], &QPushButton::clicked, this, &SettingsPage::btn21Click);
    connect(buttons[1], &QPushButton::clicked, this, &SettingsPage::btn22Click);
    connect(buttons[2], &QPushButton::clicked, this, &SettingsPage::importProfileRequested);
    connect(buttons[3], &QPushButton::clicked, this, &SettingsPage::exportProfileRequested);
    // The profile workbook (office/settings_profile.h).
    connect(this, &SettingsPage::importProfileRequested, this,
            [this] { Tcustomstringgrid_basis(session_).ImportProfile(); });
    connect(this, &SettingsPage::exportProfileRequested, this, [this] {
        commitOpenEditor();  // the text still being typed belongs to the profile
        Tcustomstringgrid_basis(session_).ExportProfile();
    });

    grid_ = new StringGrid(sheet_.grid, this);
    grid_->setObjectName(QStringLiteral("strngrd_write"));
    grid_->setDefaultRowHeight(24);
    grid_->setGridRowHeight(1, 22);
    grid_->setGridRowHeight(8, 26);
    grid_->setGridColumnWidth(0, 275);
    grid_->setGridColumnWidth(1, 201);
    grid_->setGridColumnWidth(2, 391);
    grid_->setShowGrid(true);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setFocusPolicy(Qt::ClickFocus);  // not in the tab order
    grid_->setTabKeyNavigation(false);      // and Tab leaves it
    grid_->setEditTriggers(kEditing);
    // The header row's fill: the light sky blue 0xF0CAA6 (blue F0, green CA,
    // red A6), with grey lines.
    grid_->setHeaderColours(QColor(0xA6, 0xCA, 0xF0), QColor(0x80, 0x80, 0x80));
    delegate_ = new SettingsEditDelegate(*this);
    grid_->setItemDelegate(delegate_);
    connect(delegate_, &QAbstractItemDelegate::closeEditor, this, [this](QWidget* editor) {
        if (editor == editor_) editor_ = nullptr;
    });
    connect(grid_, &StringGrid::cellSelected, this, &SettingsPage::strngrd_writeSelectCell);
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &SettingsPage::settingsGridScrolled);
    grid_->viewport()->installEventFilter(this);
    grid_->installEventFilter(this);

    // A list takes the wheel only once a click has focused it; otherwise
    // the wheel scrolls the grid (ui/string_grid.h).
    gate_ = new WheelGate(this);
    gate_->divert = [this](QWheelEvent* w) {
        const QPointF at = grid_->viewport()->mapFromGlobal(w->globalPosition());
        QWheelEvent scroll(at, w->globalPosition(), w->pixelDelta(), w->angleDelta(), w->buttons(),
                           w->modifiers(), w->phase(), w->inverted());
        QApplication::sendEvent(grid_->viewport(), &scroll);
    };

    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        const auto choice = SettingsSheet::Choice(c);
        auto* box = new QComboBox(grid_->viewport());
        box->setObjectName(QString::fromLatin1(SettingsSheet::widgetName(choice)));
        box->addItems(SettingsSheet::items(choice));
        box->setCurrentIndex(sheet_.choice(choice));
        box->hide();
        // Like the grid they stand in, the lists are not in the tab order;
        // F4 or Alt+Down on a choice row's cell opens its list.
        box->setFocusPolicy(Qt::ClickFocus);
        box->installEventFilter(this);
        gate_->watch(box);
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, choice](int index) { sheet_.setChoice(choice, index); });
        combos_[c] = box;
    }
    connect(&sheet_, &SettingsSheet::choiceChanged, this, [this](int choice, int index) {
        if (choice >= 0 && choice < SettingsSheet::ChoiceCount)
            combos_[choice]->setCurrentIndex(index);
    });
    connect(&sheet_, &SettingsSheet::choiceListsShown, this, &SettingsPage::showChoiceLists);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnl14);
    layout->addWidget(grid_, 1);

    // No content cell is selected until the user picks one.
    grid_->setCurrentCell(1, 0);
}

SettingsPage::~SettingsPage() {
    // The grid goes first, while this page is whole: closing an open editor
    // or a focused list calls back into the page.
    disconnect(&sheet_, nullptr, this, nullptr);
    grid_->viewport()->removeEventFilter(this);
    grid_->removeEventFilter(this);
    for (QComboBox* box : combos_) box->removeEventFilter(this);
    delete grid_;
    delegate_->disconnect(this);
}

void SettingsPage::btn21Click() {
    session_.basicInf.readSettings();
}

void SettingsPage::btn22Click() {
    // The text still being typed is part of what is saved.
    commitOpenEditor();
    session_.basicInf.saveSettings();
}

void SettingsPage::strngrd_writeSelectCell(int col, int row) {
    // Descriptions cannot be typed over.
    grid_->setEditTriggers(col == 2 ? QAbstractItemView::NoEditTriggers : kEditing);
}

void SettingsPage::editorOpened(QLineEdit* editor, int col, int row) {
    editor_ = editor;
    editorRow_ = row;
}

void SettingsPage::commitOpenEditor() {
    if (QLineEdit* e = openEditor()) emit delegate_->commitData(e);
}

void SettingsPage::strngrd_writeSetEditText(int col, int row, const QString& text) {
    if (col != 1) return;
    const settings::InputResult r = settings::applyInputRule(row, text, sheet_.content(row));
    if (!r.refused.isEmpty()) {
        // Shown once the keystroke has been handled, not from inside the editor.
        const QString message = settings::refusedMessage(row, r.refused);
        QTimer::singleShot(0, this, [this, message] { session_.feedback.prompts.message(message); });
    }
    if (r.cellText != text) {
        // While the editor is open only the editor changes: the cell keeps
        // its value until the edit is committed, so Esc gives it back whole.
        QLineEdit* e = editorRow_ == row ? openEditor() : nullptr;
        if (!e) {
            sheet_.setContent(row, r.cellText);
        } else if (e->text() != r.cellText) {
            const int cursor = e->cursorPosition();
            e->setText(r.cellText);
            e->setCursorPosition(qMin(cursor, int(r.cellText.size())));
        }
    }
    if (r.moveToRow >= 0) {
        if (QLineEdit* open = openEditor())
            static_cast<SettingsEditDelegate*>(delegate_)->finish(open);
        sheet_.setContent(row, r.cellText);
        grid_->setCurrentCell(col, r.moveToRow);
    }
}

void SettingsPage::leaveGrid(bool next) {
    // The grid is not in the tab order: Tab goes on to the next control.
    grid_->setFocus(Qt::TabFocusReason);
    QKeyEvent tab(QEvent::KeyPress, next ? Qt::Key_Tab : Qt::Key_Backtab, Qt::NoModifier);
    QApplication::sendEvent(grid_, &tab);
}

void SettingsPage::choiceListExit(SettingsSheet::Choice c) {
    sheet_.setContent(SettingsSheet::rowOf(c), combos_[c]->currentText());
}

void SettingsPage::settingsGridScrolled(int position) {
    window()->setWindowTitle(QString::fromUtf8("滚动条位置:") + QString::number(position));
    // The lists would stay at their old place; drawing puts them back.
    for (QComboBox* box : combos_) box->hide();
    schedulePlacement();
}

void SettingsPage::schedulePlacement() {
    if (placementPending_) return;
    placementPending_ = true;
    QTimer::singleShot(0, this, [this] {
        placementPending_ = false;
        placeChoiceLists();
    });
}

void SettingsPage::placeChoiceLists() {
    const QRect visible = grid_->viewport()->rect();
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        QComboBox* box = combos_[c];
        if (!box->isHidden()) continue;  // a shown list stays where it is
        const QRect cell = grid_->cellRect(1, SettingsSheet::rowOf(SettingsSheet::Choice(c)));
        if (!cell.isValid() || !visible.intersects(cell)) continue;
        box->setGeometry(cell);
        box->show();
    }
}

void SettingsPage::showChoiceLists() {
    // Settings page 1 has arrived: the lists show their values at once.
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
        QComboBox* box = combos_[c];
        if (!box->isHidden()) continue;
        box->setGeometry(grid_->cellRect(1, SettingsSheet::rowOf(SettingsSheet::Choice(c))));
        box->show();
    }
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(event);
        const int c = SettingsSheet::choiceAt(grid_->currentRow());
        const bool open = k->key() == Qt::Key_F4 ||
                          (k->key() == Qt::Key_Down && (k->modifiers() & Qt::AltModifier));
        if (open && c >= 0 && grid_->currentCol() == 1 && combos_[c]->isVisible()) {
            combos_[c]->setFocus(Qt::OtherFocusReason);
            combos_[c]->showPopup();
            return true;
        }
    } else if (watched == grid_->viewport() && event->type() == QEvent::Wheel) {
        gate_->gridWheeled();  // a list passing under the pointer takes none of it
    } else if (watched == grid_->viewport() && event->type() == QEvent::Resize) {
        // Laid out (the first time just before the window is first drawn):
        // the lists are there in the same frame as the grid.
        placeChoiceLists();
    } else if (watched == grid_->viewport() && event->type() == QEvent::Paint) {
        // Widgets are not shown from inside a paint event; the placement
        // follows right after it.
        bool anyHidden = false;
        for (QComboBox* box : combos_) anyHidden = anyHidden || box->isHidden();
        if (anyHidden) schedulePlacement();
    } else if (event->type() == QEvent::FocusOut) {
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
            if (watched != combos_[c]) continue;
            // Opening the drop-down list is not leaving the box.
            bool ownPopup = false;  // the list's popup is a window of its own
            for (const QWidget* w = QApplication::activePopupWidget(); w && !ownPopup;
                 w = w->parentWidget())
                ownPopup = w == combos_[c];
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !ownPopup)
                choiceListExit(SettingsSheet::Choice(c));
        }
    }
    return QWidget::eventFilter(watched, event);
}
