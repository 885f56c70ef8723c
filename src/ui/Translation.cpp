#include "ui/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace ui
{

bool loadQtTranslation()
{
    // Owned by the application, which deletes it at its end; the pointer only tells whether it is installed.
    static QPointer<QTranslator> installed;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (installed)
        return true;
    const QString fileName = QStringLiteral("qtbase_zh_CN.qm");
    const QStringList folders{QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(app);
        if (translator->load(QDir(folder).filePath(fileName)) && QCoreApplication::installTranslator(translator)) {
            installed = translator;
            return true;
        }
        delete translator;
    }
    return false;
}

} // namespace ui
