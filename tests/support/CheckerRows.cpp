#include "support/CheckerRows.h"

#include <algorithm>

#include <QSignalSpy>

#include "checker/TransferChannel.h"
#include "table/LinkTable.h"

namespace testsupport
{

void setRows(table::LinkTable& table, const QStringList& addresses, const QString& initialState)
{
    QVector<table::LinkRow> rows;
    for (int i = 0; i < addresses.size(); ++i) {
        table::LinkRow row;
        row.fileName = QStringLiteral("row%1.url").arg(i + 1);
        row.filePath = QStringLiteral("/fav");
        row.url = addresses[i];
        row.state = initialState;
        rows.append(row);
    }
    table.load(rows);
}

QStringList rowStates(const table::LinkTable& table)
{
    QStringList states{QString()};
    for (const table::LinkRow& row : table.rows())
        states.append(row.state);
    return states;
}

void setAllStates(table::LinkTable& table, const QString& verdict)
{
    for (int i = 1; i <= table.rowCount(); ++i)
        table.setRowState(i, verdict);
}

QHostAddress spreadAddress(int i)
{
    return QHostAddress(QStringLiteral("127.66.%1.%2").arg(i / 250).arg(1 + i % 250));
}

SpreadKind spreadKind(int i)
{
    const int k = i % 20;
    return k < 14 ? SpreadKind::Ok : k < 17 ? SpreadKind::NotFound : SpreadKind::Refused;
}

QString spreadUrl(int i, quint16 port)
{
    return QStringLiteral("http://%1:%2/%3")
        .arg(spreadAddress(i).toString())
        .arg(port)
        .arg(spreadKind(i) == SpreadKind::NotFound ? 404 : 200);
}

QString spreadVerdict(int i)
{
    return spreadKind(i) == SpreadKind::Refused ? table::kNo : table::kYes;
}

QList<int> statesOf(const QSignalSpy& spy)
{
    QList<int> states;
    for (const QList<QVariant>& args : spy)
        states.append(args.at(0).toInt());
    return states;
}

int finalCount(const QSignalSpy& spy)
{
    const QList<int> states = statesOf(spy);
    return int(std::count_if(states.begin(), states.end(), [](int s) {
        return s == checker::TransferChannel::icError || s == checker::TransferChannel::icResponseCompleted;
    }));
}

} // namespace testsupport
