#pragma once

#include <QAbstractButton>
#include <QPoint>
#include <QWidget>

namespace tovra::ui {

// A small glyph button of the title bar.
class TitleButton : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Glyph { Minimise, Close };
    TitleButton(Glyph glyph, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    Glyph glyph_;
    bool hovered_ = false;
};

// The drawn title bar of a frameless window: icon, bold white caption, minimise and close
// buttons; dragging it moves the window.
class TitleBar : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHeight = 24;

    explicit TitleBar(QWidget* window);

    TitleButton* MinimiseButton() const { return minimise_; }
    TitleButton* CloseButton() const { return close_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TitleButton* minimise_;
    TitleButton* close_;
    bool dragging_ = false;  // moving by hand where the platform cannot move the window
    QPoint drag_offset_;
};

// Draws the window's 1-pixel border; raise it above the controls once they are built.
class FrameBorder : public QWidget {
    Q_OBJECT

  public:
    explicit FrameBorder(QWidget* window);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tovra::ui
