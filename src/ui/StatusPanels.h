#pragma once

#include <array>

#include <QStatusBar>
#include <QString>

class QLabel;
class QTimer;

namespace ui
{

/// The main window's status bar with its seven panels, numbered 1..7 from the left: 1 the program's name, 2 and
/// 4 and 6 the captions "信息", "状态" and "日期", 3 information (the favorites count or the thread count),
/// 5 the check's state, 7 today's date, kept current past midnight.
///
/// The panels stand side by side at fixed widths (in twips), wider where a text needs it; panel 2 takes the
/// width the others leave. A panel whose text changes keeps that text as its accessible name; its description
/// says what it is.
class StatusPanels : public QStatusBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusPanels)

public:
    explicit StatusPanels(const QString& productName, QWidget* parent = nullptr);

    /// Panel 1..7.
    QLabel* panel(int panel) const { return m_panels.at(std::size_t(panel - 1)); }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    /// The least width that shows every panel whole.
    int minimumPanelsWidth() const;

signals:
    /// A panel has grown (or shrunk back) to fit its text: minimumPanelsWidth() has changed.
    void panelsWidthChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanels();
    void showDate();

    std::array<QLabel*, 7> m_panels{};
    QTimer* m_dateTimer = nullptr;
};

} // namespace ui
