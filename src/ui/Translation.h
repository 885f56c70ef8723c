#pragma once

// Qt's own texts in the program's language.

namespace ui
{

/// Installs Qt's Chinese translation (qtbase_zh_CN.qm) in the running application, whatever the system's
/// locale, so that Qt's own texts are Chinese: the standard buttons (确定, 取消), the text boxes' context menus,
/// Qt's file error texts. Looks in the folder "translations" beside the program first (where the Windows
/// package puts it), then in Qt's translations folder. Returns false, Qt's texts staying English, when neither
/// holds it. Installing it again does nothing.
bool loadQtTranslation();

} // namespace ui
