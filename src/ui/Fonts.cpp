#include "ui/Fonts.h"

#include <QFontDatabase>

namespace ui
{

namespace
{

// Song (Ming) style faces first, since that is what 宋体 is; sans faces only when no serif one is around.
const char* const songTiCandidates[] = {
    "SimSun",
    "宋体",
    "NSimSun",
    "Noto Serif CJK SC",
    "Source Han Serif SC",
    "AR PL UMing CN",
    "Noto Sans CJK SC",
    "Source Han Sans SC",
    "Microsoft YaHei",
    "WenQuanYi Zen Hei",
    "WenQuanYi Micro Hei",
    "Droid Sans Fallback",
};

} // namespace

QStringList songTiFamilies()
{
    // The font database does not change while the program runs, so the look-up is made once.
    static const QStringList installed = [] {
        QStringList families;
        for (const char* name : songTiCandidates) {
            const QString family = QString::fromUtf8(name);
            if (QFontDatabase::hasFamily(family))
                families.append(family);
        }
        return families;
    }();
    return installed;
}

QFont songTi(qreal pointSize, bool bold)
{
    QFont font;
    const QStringList families = songTiFamilies();
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleHint(QFont::Serif);
    return font;
}

} // namespace ui
