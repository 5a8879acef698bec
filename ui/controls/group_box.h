#pragma once

#include <QGroupBox>

namespace tovra::ui {

// A captioned frame; disabling it disables every control inside.
class GroupBox : public QGroupBox {
    Q_OBJECT

  public:
    explicit GroupBox(const QString& caption, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tovra::ui
