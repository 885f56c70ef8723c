#include "support/ModalWatcher.h"

#include <utility>

#include <QEvent>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

namespace testsupport
{

ModalWatcher::ModalWatcher(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(5);
    connect(m_timer, &QTimer::timeout, this, &ModalWatcher::tick);
    m_timer->start();
}

ModalWatcher::~ModalWatcher() = default;

void ModalWatcher::onNext(std::function<void(QWidget*)> handler)
{
    m_handlers.append(std::move(handler));
}

QStringList ModalWatcher::messageTexts() const
{
    QStringList texts;
    for (const Seen& seen : m_seen) {
        if (seen.className == QLatin1String("QMessageBox"))
            texts.append(seen.text);
    }
    return texts;
}

bool ModalWatcher::handled(QWidget* widget) const
{
    for (const QPointer<QWidget>& p : m_handled) {
        if (p == widget)
            return true;
    }
    return false;
}

void ModalWatcher::tick()
{
    QWidget* widget = QApplication::activeModalWidget();
    if (!widget || !widget->isVisible() || handled(widget))
        return;
    m_handled.append(widget);
    Seen seen{QString::fromLatin1(widget->metaObject()->className()), widget->windowTitle(), QString(), {}};
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons())
            seen.buttons.append(button->text());
    }
    m_seen.append(seen);
    std::function<void(QWidget*)> handler =
        m_handlers.isEmpty() ? std::function<void(QWidget*)>(closeModal) : m_handlers.takeFirst();
    QPointer<QWidget> target(widget);
    // Run outside this tick: a handler that opens another modal window must not stop the watching.
    QTimer::singleShot(0, this, [handler, target] {
        if (target)
            handler(target);
    });
}

void closeModal(QWidget* widget)
{
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        const QList<QAbstractButton*> buttons = box->buttons();
        if (!buttons.isEmpty()) {
            buttons.first()->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(widget))
        dialog->reject();
    else
        widget->close();
}

bool hasLatinOutsidePaths(const QString& text)
{
    static const QRegularExpression path(QStringLiteral("/[^\\s（）【】，：]*"));
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    QString words = text.section(u'\t', 0, 0);
    words.remove(mnemonic);
    words.remove(path);
    return words.contains(latin);
}

EventWatch::EventWatch(QObject* watched, int type, std::function<void()> react)
    : m_watched(watched), m_type(type), m_react(std::move(react))
{
    watched->installEventFilter(this);
}

EventWatch::~EventWatch()
{
    if (m_watched)
        m_watched->removeEventFilter(this);
}

bool EventWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watched && event->type() == m_type)
        m_react();
    return false;
}

} // namespace testsupport
