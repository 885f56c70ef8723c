#include "ui/RowMenu.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>

#include "jobs/FavoriteEdit.h"
#include "table/Loader.h"
#include "ui/FailureText.h"

namespace ui
{

RowMenu::RowMenu(jobs::AppState& state, QWidget* parent) : QMenu(parent), m_state(state)
{
    setObjectName(QStringLiteral("rowMenu"));
    setAccessibleName(QStringLiteral("收藏操作"));
    // Under Windows the menu is a window of its own; its title lets the smoke test find it.
    setWindowTitle(accessibleName());
    m_open = addAction(QStringLiteral("在浏览器中打开"), this, &RowMenu::openInBrowser);
    m_copy = addAction(QStringLiteral("复制地址"), this, [this] {
        if (isStillTheRow())
            copyAddress(m_row);
    });
    m_copy->setShortcut(QKeySequence::Copy); // shown beside it; the grid has the same key
    m_newAddress = addAction(QStringLiteral("改为新地址"), this, &RowMenu::useNewAddress);
    m_edit = addAction(QStringLiteral("修改"), this, [this] {
        if (isStillTheRow())
            emit editRequested(m_row);
    });
}

QUrl RowMenu::browserUrl(const QString& address)
{
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return QUrl();
    return url;
}

QString RowMenu::newAddress(int row) const
{
    const table::LinkTable& table = m_state.table;
    if (!table.hasRow(row))
        return QString();
    const table::Outcome& outcome = table.outcome(row);
    const bool movedForGood = outcome.verdict == table::Verdict::Alive && outcome.reason == table::Reason::Answered &&
                              (outcome.status == 301 || outcome.status == 308);
    return movedForGood && outcome.movedTo != table.rowUrl(row) ? outcome.movedTo : QString();
}

void RowMenu::openFor(int row, const QPoint& globalPos)
{
    const table::LinkTable& table = m_state.table;
    if (!table.hasRow(row))
        return;
    m_row = row;
    m_generation = table.generation();
    m_open->setEnabled(!browserUrl(table.rowUrl(row)).isEmpty());
    m_copy->setEnabled(!table.rowUrl(row).isEmpty());
    m_newAddress->setEnabled(m_editsAllowed && !newAddress(row).isEmpty());
    m_edit->setEnabled(m_editsAllowed);
    popup(globalPos);
}

void RowMenu::copyAddress(int row) const
{
    if (m_state.table.hasRow(row))
        QGuiApplication::clipboard()->setText(m_state.table.rowUrl(row));
}

void RowMenu::setEditsAllowed(bool allowed)
{
    m_editsAllowed = allowed;
    m_edit->setEnabled(allowed);
    m_newAddress->setEnabled(allowed && !newAddress(m_row).isEmpty());
}

bool RowMenu::isStillTheRow() const
{
    // The table may have been loaded again while the menu was open: its row numbers then mean other favorites.
    return m_state.table.isCurrent(m_row, m_generation);
}

void RowMenu::openInBrowser()
{
    if (!isStillTheRow())
        return;
    const QUrl url = browserUrl(m_state.table.rowUrl(m_row));
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

void RowMenu::useNewAddress()
{
    if (!isStillTheRow() || !m_editsAllowed)
        return;
    const QString address = newAddress(m_row);
    if (address.isEmpty())
        return;
    const table::LinkTable& table = m_state.table;
    const jobs::FavoriteEdit edit{table.rowFolder(m_row), table::displayName(table.fileName(m_row)), address};
    platform::Failure failure;
    if (jobs::applyFavoriteEdit(m_state, m_row, edit, &failure)) {
        emit addressReplaced(m_row);
        return;
    }
    const QString message = QStringLiteral("修改收藏失败：") + failureText(failure);
    emit replaceFailed(message);
    QMessageBox::warning(parentWidget(), m_newAddress->text(), message);
}

} // namespace ui
