#pragma once

#include <vector>

#include <QKeySequence>
#include <QString>

#include "jobs/CommandRules.h"

namespace ui
{

/// One of the eight toolbar commands as the user meets it.
struct CommandEntry
{
    jobs::Command id;
    QString name;          // exactly as the button's tooltip shows it
    int cell;              // its picture in the toolbar strip (ui::ToolbarCell)
    QKeySequence shortcut; // the usual key where there is one, else Ctrl and an initial
};

/// Every command, in its order on the toolbar: the toolbar is made from this list, and adding a command is adding
/// an entry.
const std::vector<CommandEntry>& commandList();
/// The command's name (its tooltip).
QString commandName(jobs::Command command);
/// True for the commands that change data (save, delete, backup, restore): they wait while such work runs.
bool changesData(jobs::Command command);

} // namespace ui
