#pragma once

#include <QFrame>
#include <QString>

#include "jobs/LoadSequence.h"

class QLabel;

namespace ui
{

/// The busy notice over the grid while the favorites are read or changed: a light cyan box whose text says what the
/// work is and, once the entries are counted, how far it has come. Its text keeps its place in the box, and the box
/// grows about its centre when a text is wider than the box was made for.
class BusyNotice : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyNotice)

public:
    explicit BusyNotice(QWidget* parent);

    /// What the notice says while the work runs: what it is and how far it has come, once that is known.
    static QString progressText(jobs::LongWork kind, int done, int total);

    /// Shows how far the work has come.
    void showProgress(jobs::LongWork kind, int done, int total);
    /// Puts the notice at its place (pixels of its parent), widened about its centre when its text needs it.
    void place(const QRect& geometry);
    QLabel* textLabel() const { return m_text; }

private:
    void fitText();

    QLabel* m_text = nullptr;
    int m_designedTextWidth = 0;
};

} // namespace ui
