#include "ui/controls/combo_list.h"

#include <QLineEdit>

namespace tovra::ui {

ComboList::ComboList(QWidget* parent, bool editable) : QComboBox(parent) {
    setEditable(editable);
    if (editable) {
        // Typed text must stay what was typed: no completion into an entry, no new entries.
        setCompleter(nullptr);
        setInsertPolicy(QComboBox::NoInsert);
    }
}

int ComboList::ItemIndex() const {
    const int index = currentIndex();
    if (index >= 0 && isEditable() && lineEdit()->text() != itemText(index)) {
        return -1;  // the user typed over the selected entry
    }
    return index;
}

void ComboList::SetItemIndex(int index) {
    const int selected = index >= 0 && index < count() ? index : -1;
    setCurrentIndex(selected);
    // Selecting the entry that is already current changes nothing in QComboBox, but
    // text typed over it must give way to the entry (or to nothing) all the same.
    if (isEditable()) {
        const QString shown = selected >= 0 ? itemText(selected) : QString();
        if (lineEdit()->text() != shown) {
            setEditText(shown);
        }
    }
}

void ComboList::SetItems(const QStringList& items) {
    clear();
    addItems(items);
}

void ComboList::showPopup() {
    if (before_popup_) {
        before_popup_();
    }
    QComboBox::showPopup();
}

}  // namespace tovra::ui
