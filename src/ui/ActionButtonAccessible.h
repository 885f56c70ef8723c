#pragma once

#include <QAccessibleWidget>

class QToolButton;

namespace ui
{

/// What screen readers are told of a toolbar button made for an action: a push button named after the action,
/// its tooltip as description, and the action's keyboard shortcut as the key binding of its press action.
///
/// Qt's own description of a tool button gives the button's own shortcut as key binding, and a toolbar's buttons
/// never have one: the action holds it (giving the button the same shortcut too would make the key ambiguous).
class ActionButtonAccessible : public QAccessibleWidget
{
public:
    explicit ActionButtonAccessible(QToolButton* button);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    /// Makes every toolbar button made for an action described this way from now on. Call it before the toolbar's
    /// actions are added; later calls do nothing more.
    static void install();

private:
    QToolButton* button() const;
};

} // namespace ui
