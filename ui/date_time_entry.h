#pragma once
// Keyboard entry for the tool's date and time pickers (QDateEdit, QTimeEdit).
//
// - A whole date or time typed over the selected text ("2024-05-17" after
//   Ctrl+A) sets every field. The plain edit would type into the field that
//   happens to be current and keep the others, or, after a field filled up
//   and moved on by itself, take the typed separator as one more move and
//   skip a field.
// - Tab and Shift+Tab leave the picker instead of walking its fields (the
//   arrow keys and the typed separators do that).
// - A press on a calendar picker's frame only focuses it: the plain edit
//   takes the combo box's text field there for the spin box's down button
//   and steps the value.

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

template <class Edit>
class DateTimeEntry : public Edit {
public:
    using Edit::Edit;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        const QString typed = e->text();
        const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                               !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (!printable) {
            movedOn_ = false;
            Edit::keyPressEvent(e);
            return;
        }
        QLineEdit* line = this->lineEdit();
        if (line->hasSelectedText() && line->selectedText() == line->text()) {
            // Typing over everything starts again at the first field.
            this->setSelectedSection(this->sectionAt(0));
            movedOn_ = false;
        }
        const bool digit = typed.at(0).isDigit();
        if (!digit && movedOn_) {
            // The field before filled up and moved on already: this separator
            // is the one the user typed to get there.
            movedOn_ = false;
            e->accept();
            return;
        }
        const auto before = this->currentSection();
        Edit::keyPressEvent(e);
        movedOn_ = digit && this->currentSection() != before;
    }

    void focusInEvent(QFocusEvent* e) override {
        movedOn_ = false;
        Edit::focusInEvent(e);
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (this->calendarPopup()) {
            QStyleOptionComboBox opt;
            opt.initFrom(this);
            opt.editable = true;
            opt.subControls = QStyle::SC_All;
            const QRect arrow =
                this->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, this);
            if (!arrow.contains(e->position().toPoint())) {
                e->accept();
                return;
            }
        }
        Edit::mousePressEvent(e);
    }

    bool focusNextPrevChild(bool next) override {
        return QWidget::focusNextPrevChild(next);
    }

private:
    bool movedOn_ = false;
};
