#pragma once

#include <QPixmap>
#include <QWidget>

namespace tovra::ui {

// An image stretched to the control's bounds; reports clicks.
class Picture : public QWidget {
    Q_OBJECT

  public:
    explicit Picture(QWidget* parent = nullptr);

    void SetImage(const QPixmap& image);
    const QPixmap& Image() const { return image_; }

  signals:
    void Clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPixmap image_;
    bool pressed_ = false;
};

}  // namespace tovra::ui
