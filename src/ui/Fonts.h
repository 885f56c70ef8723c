#pragma once

#include <QFont>
#include <QStringList>

namespace ui
{

/// The Song-style Chinese font (宋体) at the given point size: "SimSun" where it is installed, otherwise the
/// closest installed Chinese font, with the rest of the candidates as glyph fallbacks. Never fails: without any
/// candidate installed, the result is the application font's family at that size.
QFont songTi(qreal pointSize, bool bold = false);

/// The installed font families songTi() draws from, best first; empty when none of the candidates is installed.
/// Both functions need the application object to exist (the font database is read once, at the first call).
QStringList songTiFamilies();

} // namespace ui
