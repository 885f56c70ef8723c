#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QTimer;
class QWidget;

namespace testsupport
{

/// Deals with the modal windows a test makes the program open (message boxes, dialogs) while the code
/// under test waits in their event loop. Every modal window that comes up is recorded; the next queued
/// handler, if any, is run on it (after the watcher's own tick has returned, so a handler may open
/// further modal windows); without a handler a message box is closed by its first button and any
/// other dialog is rejected. Watching starts at construction and ends with the watcher.
class ModalWatcher : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModalWatcher)

public:
    /// One modal window as it came up: its class, title and (for a message box) its text and its buttons' texts.
    struct Seen
    {
        QString className;
        QString title;
        QString text;
        QStringList buttons;
    };

    explicit ModalWatcher(QObject* parent = nullptr);
    ~ModalWatcher() override;

    /// Queues a handler for the next modal window that comes up.
    void onNext(std::function<void(QWidget*)> handler);

    const QList<Seen>& seen() const { return m_seen; }
    int count() const { return int(m_seen.size()); }
    /// The texts of the message boxes seen, in order.
    QStringList messageTexts() const;
    /// Forgets what has been seen.
    void clear() { m_seen.clear(); }

private:
    void tick();
    bool handled(QWidget* widget) const;

    QTimer* m_timer = nullptr;
    QList<std::function<void(QWidget*)>> m_handlers;
    QList<QPointer<QWidget>> m_handled;
    QList<Seen> m_seen;
};

/// Calls react each time the object receives an event of the given type, for as long as the watch lives.
class EventWatch : public QObject
{
public:
    EventWatch(QObject* watched, int type, std::function<void()> react);
    ~EventWatch() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QObject> m_watched;
    int m_type;
    std::function<void()> m_react;
};

/// Closes a modal window the default way: a message box by its first button, a dialog by reject().
void closeModal(QWidget* widget);

/// True when a text the user reads holds a Latin letter outside the absolute paths it names (a path runs from
/// its first "/" to the next blank, full-width bracket, comma or colon, or to the end). Mnemonics such as
/// "(&U)" and what follows a tab (a shortcut such as "Ctrl+Z") are not counted.
bool hasLatinOutsidePaths(const QString& text);

} // namespace testsupport
