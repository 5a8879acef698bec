#pragma once

#include <vector>

#include <QString>
#include <QWidget>

namespace tovra::ui {

// A bar of fixed-width text panels, each with its own alignment.
class StatusBar : public QWidget {
    Q_OBJECT

  public:
    struct Panel {
        int width = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
        QString text;
    };

    explicit StatusBar(QWidget* parent = nullptr);

    void AddPanel(int width, Qt::Alignment alignment);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    const Panel& PanelAt(int index) const { return panels_.at(static_cast<std::size_t>(index)); }
    QString PanelText(int index) const;
    // An index past the last panel changes nothing.
    void SetPanelText(int index, const QString& text);
    QRect PanelRect(int index) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<Panel> panels_;
};

}  // namespace tovra::ui
