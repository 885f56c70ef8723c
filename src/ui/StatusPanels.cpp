#include "ui/StatusPanels.h"

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "ui/FormLayout.h"

namespace ui
{

namespace
{

// Widths in twips; 0 for panel 2, which takes the width the others leave, at least kPanel2MinimumTwips. The gap
// between neighbours and the margin above and below them are in pixels.
const std::array<int, 7> kPanelWidths{2800, 0, 2000, 800, 2000, 800, 1000};
constexpr int kPanel2MinimumTwips = 570;
constexpr int kPanelGap = 2;
constexpr int kPanelMargin = 1;

} // namespace

StatusPanels::StatusPanels(const QString& productName, QWidget* parent) : QStatusBar(parent)
{
    // A status bar for screen readers; the panels are placed by layoutPanels(), not by the bar's own layout.
    setObjectName(QStringLiteral("statusPanels"));
    setAccessibleName(QStringLiteral("状态栏"));
    setSizeGripEnabled(false);
    const std::array<QString, 7> texts{productName, QStringLiteral("信息"), QString(), QStringLiteral("状态"),
                                       QString(),   QStringLiteral("日期"), QString()};
    const std::array<QString, 7> descriptions{QStringLiteral("程序名称"),  QStringLiteral("信息栏标题"),
                                              QStringLiteral("信息"),      QStringLiteral("状态栏标题"),
                                              QStringLiteral("检测状态"),  QStringLiteral("日期栏标题"),
                                              QStringLiteral("今天的日期")};
    for (std::size_t p = 0; p < m_panels.size(); ++p) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAccessibleDescription(descriptions.at(p));
        if (kPanelWidths.at(p) > 0)
            label->setFixedWidth(twipsToPixels(kPanelWidths.at(p)));
        else
            label->setMinimumWidth(twipsToPixels(kPanel2MinimumTwips));
        m_panels[p] = label;
    }
    for (std::size_t p = 0; p < m_panels.size(); ++p)
        setPanelText(int(p) + 1, texts.at(p));
    showDate();
    m_dateTimer = new QTimer(this);
    m_dateTimer->setInterval(30 * 1000);
    connect(m_dateTimer, &QTimer::timeout, this, &StatusPanels::showDate);
    m_dateTimer->start();
}

QString StatusPanels::panelText(int panel) const
{
    return this->panel(panel)->text();
}

void StatusPanels::setPanelText(int panel, const QString& text)
{
    QLabel* label = this->panel(panel);
    label->setText(text);
    label->setAccessibleName(text);
    // A panel of fixed width grows when its text needs more room than the width given to it, as the date does
    // where the system's font is wider than 宋体: a text is never cut off.
    const int designed = kPanelWidths.at(std::size_t(panel - 1));
    if (designed > 0) {
        const int width = qMax(twipsToPixels(designed), label->sizeHint().width());
        if (width != label->width()) {
            label->setFixedWidth(width);
            layoutPanels();
            emit panelsWidthChanged();
        }
    }
}

int StatusPanels::minimumPanelsWidth() const
{
    int width = panel(2)->minimumWidth() + kPanelGap * int(m_panels.size() - 1);
    for (std::size_t p = 0; p < m_panels.size(); ++p) {
        if (kPanelWidths.at(p) > 0)
            width += m_panels.at(p)->width();
    }
    return width;
}

void StatusPanels::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    layoutPanels();
}

void StatusPanels::layoutPanels()
{
    // Side by side from the left; panel 2 takes the width the others leave, never less than its minimum.
    const int stretched = qMax(panel(2)->minimumWidth(), width() - (minimumPanelsWidth() - panel(2)->minimumWidth()));
    int x = 0;
    for (QLabel* label : m_panels) {
        const int w = label == panel(2) ? stretched : label->width();
        label->setGeometry(x, kPanelMargin, w, height() - 2 * kPanelMargin);
        x += w + kPanelGap;
    }
}

void StatusPanels::showDate()
{
    // Written the way the program's Chinese users read a date (2026/12/7), which also fits the panel.
    setPanelText(7, QLocale(QLocale::Chinese, QLocale::China).toString(QDate::currentDate(), QLocale::ShortFormat));
}

} // namespace ui
