#include "ui/ActionButtonAccessible.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

namespace ui
{

namespace
{

QAccessibleInterface* describeActionButton(const QString& className, QObject* object)
{
    // Only plain tool buttons on a toolbar, made for an action; the toolbar's extension button, a subclass, and
    // buttons with a menu keep Qt's description.
    auto* button = qobject_cast<QToolButton*>(object);
    if (!button || className != QLatin1String("QToolButton") ||
        qstrcmp(object->metaObject()->className(), "QToolButton") != 0 ||
        !qobject_cast<QToolBar*>(button->parentWidget()) || !button->defaultAction() || button->menu())
        return nullptr;
    return new ActionButtonAccessible(button);
}

} // namespace

ActionButtonAccessible::ActionButtonAccessible(QToolButton* button) : QAccessibleWidget(button, QAccessible::Button)
{
    addControllingSignal(QStringLiteral("clicked()"));
}

QToolButton* ActionButtonAccessible::button() const
{
    return static_cast<QToolButton*>(widget());
}

QAccessible::Role ActionButtonAccessible::role() const
{
    return QAccessible::Button;
}

QString ActionButtonAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name) {
        QString name = widget()->accessibleName();
        if (name.isEmpty() && button()->defaultAction())
            name = button()->defaultAction()->text();
        return name;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State ActionButtonAccessible::state() const
{
    QAccessible::State st = QAccessibleWidget::state();
    if (button()->isDown())
        st.pressed = true;
    if (button()->autoRaise())
        st.hotTracked = true;
    return st;
}

QStringList ActionButtonAccessible::actionNames() const
{
    QStringList names;
    if (widget()->isEnabled())
        names << pressAction();
    return names + QAccessibleWidget::actionNames();
}

void ActionButtonAccessible::doAction(const QString& actionName)
{
    if (actionName == pressAction()) {
        // Later, not here: a command that opens a modal window would keep the screen reader waiting for the answer
        // until the window closes.
        if (widget()->isEnabled())
            button()->animateClick();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList ActionButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction() && button()->defaultAction()) {
        const QKeySequence shortcut = button()->defaultAction()->shortcut();
        if (!shortcut.isEmpty())
            return {shortcut.toString()};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void ActionButtonAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(describeActionButton);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace ui
