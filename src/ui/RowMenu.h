#pragma once

#include <QMenu>
#include <QUrl>

#include "jobs/AppState.h"

namespace ui
{

/// The menu on a row of the grid: 在浏览器中打开 (the system's browser, for http and https addresses only: another
/// address, such as a file or a program, is not started), 复制地址 (the whole address to the clipboard), 改为新地址
/// (only when this check's answer was a permanent move to another address: the favorite takes that address through
/// the same all-or-nothing write as the edit dialog) and 修改 (the edit dialog). 修改 and 改为新地址 are greyed while
/// the favorites are being read or changed.
class RowMenu : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowMenu)

public:
    RowMenu(jobs::AppState& state, QWidget* parent);

    /// Opens the menu at globalPos for table row `row` (1-based); nothing for a row the table does not hold.
    void openFor(int row, const QPoint& globalPos);
    /// Puts the whole address of row `row` on the clipboard; nothing for a row the table does not hold.
    void copyAddress(int row) const;
    /// Whether 修改 and 改为新地址 may act (not while the favorites are being read or changed).
    void setEditsAllowed(bool allowed);

    /// The address a browser is given for this favorite's address: a valid http or https address; empty for any
    /// other.
    static QUrl browserUrl(const QString& address);
    /// The address row `row`'s favorite has permanently moved to by this check's answer (301 or 308), when it is
    /// not its address already; empty otherwise.
    QString newAddress(int row) const;

    QAction* openAction() const { return m_open; }
    QAction* copyAction() const { return m_copy; }
    QAction* newAddressAction() const { return m_newAddress; }
    QAction* editAction() const { return m_edit; }
    /// The table row the menu was last opened for.
    int row() const { return m_row; }

signals:
    /// 修改 was chosen for table row `row`.
    void editRequested(int row);
    /// 改为新地址 has given table row `row` its new address.
    void addressReplaced(int row);
    /// 改为新地址 failed; the text (also shown in a message box) says why.
    void replaceFailed(const QString& message);

private:
    bool isStillTheRow() const;
    void openInBrowser();
    void useNewAddress();

    jobs::AppState& m_state;
    QAction* m_open = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_newAddress = nullptr;
    QAction* m_edit = nullptr;
    bool m_editsAllowed = true;
    int m_row = 0;
    quint64 m_generation = 0; // the table's load the row belongs to
};

} // namespace ui
