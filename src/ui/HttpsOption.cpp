#include "ui/HttpsOption.h"

#include <QDir>
#include <QMessageBox>
#include <QSettings>

#include "checker/LinkChecker.h"
#include "platform/Paths.h"

namespace ui
{

namespace
{

const QString kKey = QStringLiteral("check/https");

} // namespace

HttpsOption::HttpsOption(checker::LinkChecker& checker, const QString& dataFolder, QWidget* parent)
    : QCheckBox(QStringLiteral("同时检测 https 地址"), parent), m_checker(checker), m_path(settingsPath(dataFolder))
{
    setObjectName(QStringLiteral("httpsOption"));
    setAccessibleName(text());
    setAccessibleDescription(QStringLiteral("检测时也检测以 https:// 开头的地址"));
    setFocusPolicy(Qt::StrongFocus);
    // Only "true" turns it on: a settings file that cannot be read, or holds anything else, leaves it off.
    const QSettings settings(m_path, QSettings::IniFormat);
    const bool on = settings.value(kKey).toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    setChecked(on);
    m_checker.setHttpsAsked(on);
    connect(this, &QCheckBox::toggled, this, [this](bool checked) {
        m_checker.setHttpsAsked(checked);
        remember(checked);
    });
}

QString HttpsOption::settingsPath(const QString& dataFolder)
{
    return platform::joinPath(dataFolder, QStringLiteral("tessaly.ini"));
}

void HttpsOption::remember(bool on)
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(kKey, on);
    settings.sync();
    // A file that was no settings file (QSettings::FormatError) has been written anew all the same.
    if (settings.status() != QSettings::AccessError || m_told)
        return;
    m_told = true;
    const QString message = QStringLiteral("无法写入设置文件 %1。本次运行照样按所选检测，下次启动时将不记得这个选择。")
                                .arg(QDir::toNativeSeparators(m_path));
    emit notRemembered(message);
    QMessageBox::warning(window(), text(), message);
}

} // namespace ui
