#include "ui/CommandBar.h"

#include <QAction>
#include <QLabel>
#include <QSlider>

#include "ui/ActionButtonAccessible.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"

namespace ui
{

namespace
{

QRect twips(int left, int top, int width, int height)
{
    return twipsToPixels(QRect(left, top, width, height));
}

QLabel* caption(const QString& text, const QColor& colour, const QFont& font, const QRect& geometry, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->setGeometry(geometry);
    label->setAccessibleName(text.simplified().remove(QLatin1Char(' ')));
    return label;
}

} // namespace

CommandBar::CommandBar(const std::vector<CommandEntry>& commands, int minThreads, int maxThreads, QWidget* parent)
    : QToolBar(parent)
{
    // Before the buttons exist: screen readers learn each button's shortcut from the start.
    ActionButtonAccessible::install();
    setObjectName(QStringLiteral("commandBar"));
    setAccessibleName(QStringLiteral("工具栏"));
    setIconSize(QSize(ToolbarCellSize, ToolbarCellSize));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setMovable(false);
    setFloatable(false);
    setAutoFillBackground(true);
    for (const CommandEntry& command : commands) {
        // The name is also the action's text, so screen readers name the button; it shows the image only.
        QAction* action = addAction(toolbarIcon(command.cell), command.name);
        action->setShortcut(command.shortcut);
        // Exactly the command's name: nothing (such as the shortcut) is added to it.
        action->setToolTip(command.name);
        action->setData(QVariant::fromValue(command.id));
        connect(action, &QAction::triggered, this, [this, id = command.id] { emit triggered(id); });
        // A toolbar's buttons take no focus of their own accord.
        widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
        m_actions.push_back(action);
    }
    addSliderGroup(minThreads, maxThreads);
}

QAction* CommandBar::action(jobs::Command command) const
{
    for (QAction* a : m_actions) {
        if (a->data().value<jobs::Command>() == command)
            return a;
    }
    return nullptr;
}

std::vector<QWidget*> CommandBar::buttons() const
{
    std::vector<QWidget*> widgets;
    for (QAction* a : m_actions)
        widgets.push_back(widgetForAction(a));
    return widgets;
}

int CommandBar::contentWidth() const
{
    int width = sizeHint().width();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child == m_slider || qobject_cast<QLabel*>(child))
            width = qMax(width, child->geometry().right() + 1);
    }
    return width;
}

void CommandBar::addSliderGroup(int minThreads, int maxThreads)
{
    // The slider group stands on the toolbar at fixed places, to the right of the buttons.
    QLabel* threadCaption = caption(QStringLiteral("线\n程数"), QColor(0xFF, 0x80, 0x00), songTi(9, true),
                                    twips(6000, 120, 615, 375), this);
    threadCaption->setObjectName(QStringLiteral("threadCaption"));
    threadCaption->setAlignment(Qt::AlignCenter);
    // The box is made for 宋体's two lines; where a stand-in's lines stand further apart, it grows about its middle
    // (never above the toolbar's top) so that neither line loses its top or bottom.
    const int captionHeight = threadCaption->fontMetrics()
                                  .boundingRect(threadCaption->rect(), Qt::AlignCenter, threadCaption->text())
                                  .height();
    if (captionHeight > threadCaption->height()) {
        const int middle = threadCaption->geometry().center().y();
        threadCaption->setGeometry(threadCaption->x(), qMax(0, middle - captionHeight / 2), threadCaption->width(),
                                   captionHeight);
    }

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("threadSlider"));
    m_slider->setAccessibleName(QStringLiteral("线程数"));
    m_slider->setRange(minThreads, maxThreads);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_slider->setValue(minThreads);
    m_slider->setGeometry(twips(6720, 0, 3735, 300));

    const QFont figureFont = font();
    const QColor blue(0x00, 0x00, 0xFF);
    // The scale under the slider's track, at the places of the values 1, 10, 20, 30 and 40.
    const struct
    {
        const char* text;
        int left;
        int width;
    } figures[] = {{"1", 6820, 135}, {"10", 7580, 255}, {"20", 8460, 255}, {"30", 9340, 255}, {"40", 10230, 255}};
    for (const auto& figure : figures) {
        QLabel* label = caption(QString::fromLatin1(figure.text), blue, figureFont,
                                twips(figure.left, 340, figure.width, 255), this);
        label->setObjectName(QStringLiteral("threadFigure") + QString::fromLatin1(figure.text));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // Tall enough for the font's line; the slider group still ends inside the toolbar.
        label->resize(label->width() + 2, qMax(label->height(), label->fontMetrics().height()));
    }
}

} // namespace ui
