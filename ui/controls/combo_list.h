#pragma once

#include <functional>

#include <QComboBox>
#include <QStringList>

namespace tovra::ui {

// A drop-down list addressed by position: ItemIndex reads -1 when nothing is selected,
// and selecting a position outside the list leaves nothing selected. An editable list
// also takes typed text; text that matches no entry reads as no selection.
class ComboList : public QComboBox {
    Q_OBJECT

  public:
    explicit ComboList(QWidget* parent = nullptr, bool editable = false);

    int ItemIndex() const;
    void SetItemIndex(int index);
    QString Text() const { return currentText(); }
    void SetItems(const QStringList& items);
    int Count() const { return count(); }

    // Runs just before the drop-down opens, e.g. to refresh the entries.
    void SetBeforePopup(std::function<void()> before) { before_popup_ = std::move(before); }

    void showPopup() override;

  private:
    std::function<void()> before_popup_;
};

}  // namespace tovra::ui
