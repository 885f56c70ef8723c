#pragma once

#include <vector>

#include <QToolBar>

#include "ui/CommandList.h"

class QSlider;

namespace ui
{

/// The toolbar: one icon-only button per command, in the commands' order, and to their right the thread-count
/// slider with its captions, at fixed places. The buttons take focus from Tab; each action carries its command's
/// shortcut, and its tooltip is exactly the command's name.
class CommandBar : public QToolBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandBar)

public:
    CommandBar(const std::vector<CommandEntry>& commands, int minThreads, int maxThreads, QWidget* parent);

    /// The action of the command.
    QAction* action(jobs::Command command) const;
    /// The buttons, in their order.
    std::vector<QWidget*> buttons() const;
    QSlider* slider() const { return m_slider; }
    /// The least width that shows every button and the whole slider group.
    int contentWidth() const;

signals:
    /// The button of a command was pressed (or its shortcut used).
    void triggered(jobs::Command command);

private:
    void addSliderGroup(int minThreads, int maxThreads);

    std::vector<QAction*> m_actions;
    QSlider* m_slider = nullptr;
};

} // namespace ui
