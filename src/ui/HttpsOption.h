#pragma once

#include <QCheckBox>
#include <QString>

namespace checker
{
class LinkChecker;
}

namespace ui
{

/// The command 同时检测 https 地址: off by default, when on the check asks https addresses too
/// (LinkChecker::setHttpsAsked). The choice is kept in the settings file tessaly.ini in the data folder (group
/// "check", key "https", true or false) and read again at the next start. A settings file that cannot be read
/// leaves the command off; one that cannot be written leaves the choice in force for this run and says so once.
class HttpsOption : public QCheckBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpsOption)

public:
    /// The command for checker, remembered in dataFolder; the checker is told the remembered choice at once.
    HttpsOption(checker::LinkChecker& checker, const QString& dataFolder, QWidget* parent = nullptr);

    /// The settings file in the data folder.
    static QString settingsPath(const QString& dataFolder);

signals:
    /// The choice could not be written to the settings file; the text (also shown in a message box) says so.
    void notRemembered(const QString& message);

private:
    void remember(bool on);

    checker::LinkChecker& m_checker;
    QString m_path;
    bool m_told = false; // the user has been told the choice cannot be kept
};

} // namespace ui
