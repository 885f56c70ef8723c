#include "ui/FailureText.h"

#include <QDir>
#include <QStringList>

#include "favorites/Maintenance.h"
#include "favorites/ShortcutFile.h"
#include "jobs/BackgroundWork.h"
#include "jobs/FavoriteEdit.h"
#include "platform/Paths.h"

namespace ui
{

using platform::SystemReason;

namespace
{

// The sentence for each kind, with %1 for the path and %2 for the other path.
QString fileSentence(platform::FileFailure kind)
{
    switch (kind) {
    case platform::FileFailure::FileMissing:
        return QStringLiteral("文件不存在：%1");
    case platform::FileFailure::FolderMissing:
        return QStringLiteral("文件夹不存在：%1");
    case platform::FileFailure::IsAFolder:
        return QStringLiteral("这是文件夹，不是文件：%1");
    case platform::FileFailure::NotAFolder:
        return QStringLiteral("这不是文件夹：%1");
    case platform::FileFailure::NotARegularFile:
        return QStringLiteral("这不是普通文件：%1");
    case platform::FileFailure::LinkToMissingFile:
        return QStringLiteral("链接指向的文件不存在：%1");
    case platform::FileFailure::AlreadyExists:
        return QStringLiteral("已有同名的文件：%1");
    case platform::FileFailure::FolderInTheWay:
        return QStringLiteral("有同名的文件夹挡在那里：%1");
    case platform::FileFailure::FileInTheWay:
        return QStringLiteral("有一个文件挡在文件夹的位置上：%1");
    case platform::FileFailure::RelativePath:
        return QStringLiteral("不是完整的路径，没有删除任何内容：%1");
    case platform::FileFailure::RootFolder:
        return QStringLiteral("这是根文件夹，没有删除任何内容：%1");
    case platform::FileFailure::FolderUnreadable:
        return QStringLiteral("无法读取文件夹：%1");
    case platform::FileFailure::FolderNotCreated:
        return QStringLiteral("无法创建文件夹：%1");
    case platform::FileFailure::FolderNotRemoved:
        return QStringLiteral("无法删除文件夹：%1");
    case platform::FileFailure::FolderNotEmptied:
        return QStringLiteral("无法清空文件夹（没有权限）：%1");
    case platform::FileFailure::DeleteFailed:
        return QStringLiteral("无法删除：%1");
    case platform::FileFailure::CopyFailed:
        return QStringLiteral("无法把 %1 复制到 %2");
    case platform::FileFailure::CopyLeftAside:
        return QStringLiteral("无法替换 %1，新的副本留在 %2");
    case platform::FileFailure::MoveFailed:
        return QStringLiteral("无法把 %1 移到 %2");
    case platform::FileFailure::ReadFailed:
        return QStringLiteral("无法读取文件：%1");
    case platform::FileFailure::WriteFailed:
        return QStringLiteral("无法写入文件：%1");
    case platform::FileFailure::ReadOnlyFile:
        return QStringLiteral("文件是只读的：%1");
    case platform::FileFailure::Stopped:
        return QStringLiteral("程序正在退出，工作停在：%1");
    }
    return QString();
}

QString shortcutSentence(favorites::ShortcutFailure kind)
{
    switch (kind) {
    case favorites::ShortcutFailure::TooLarge:
        return QStringLiteral("文件超过 %3 字节，不是快捷方式文件：%1");
    case favorites::ShortcutFailure::AddressHasLineBreak:
        return QStringLiteral("地址中有换行，不能写入：%1");
    case favorites::ShortcutFailure::AddressNotStorable:
        return QStringLiteral("地址无法原样保存（两端有空格或引号，或含有文件的编码无法表示的字符）：%1");
    case favorites::ShortcutFailure::DamagedText:
        return QStringLiteral("文件的文本已经损坏，改写会改动其他内容：%1");
    }
    return QString();
}

QString maintenanceSentence(favorites::MaintenanceFailure kind)
{
    switch (kind) {
    case favorites::MaintenanceFailure::NoFavoritesFolder:
        return QStringLiteral("没有找到收藏夹文件夹");
    case favorites::MaintenanceFailure::FavoritesFolderMissing:
        return QStringLiteral("收藏夹文件夹不存在：%1");
    case favorites::MaintenanceFailure::FavoritesNotAFolder:
        return QStringLiteral("收藏夹路径不是文件夹：%1");
    case favorites::MaintenanceFailure::NotInFavorites:
        return QStringLiteral("不在收藏夹中：%1");
    case favorites::MaintenanceFailure::BackupOverlapsFavorites:
        return QStringLiteral("备份文件夹与收藏夹互相包含：%1");
    case favorites::MaintenanceFailure::WorkingFolderOverlapsFavorites:
        return QStringLiteral("备份用的临时文件夹与收藏夹互相包含：%1");
    case favorites::MaintenanceFailure::InterruptedBackupNotRecovered:
        return QStringLiteral("无法恢复中断的备份：%1");
    case favorites::MaintenanceFailure::WorkingFolderNotOurs:
        return QStringLiteral("%1 不是本程序建立的临时文件夹，程序不会动它；请先把它移走或改名");
    case favorites::MaintenanceFailure::RestoreNotUndone:
        return QStringLiteral("还原没有完成，也无法恢复原状；原来的收藏都在 %1 中，下次启动时程序会再把它们放回原处");
    case favorites::MaintenanceFailure::InterruptedRestoreNotRecovered:
        return QStringLiteral("上次被中断的还原无法处理完；原来的收藏都在 %1 中");
    case favorites::MaintenanceFailure::OldBackupNotReplaced:
        return QStringLiteral("无法替换旧的备份：%1");
    case favorites::MaintenanceFailure::NewBackupNotPlaced:
        return QStringLiteral("无法放置新的备份：%1");
    case favorites::MaintenanceFailure::NoBackup:
        return QStringLiteral("没有备份可以还原：%1");
    case favorites::MaintenanceFailure::BackupUnreadable:
        return QStringLiteral("无法读取备份：%1");
    case favorites::MaintenanceFailure::WorkingFolderInUse:
        return QStringLiteral("另一个正在运行的程序正在备份或还原，它的临时文件夹 %1 还在使用中；请等它完成");
    case favorites::MaintenanceFailure::NoRecycleBin:
        return QStringLiteral("%1 所在的磁盘没有回收站，现在的收藏不能放入回收站，所以没有还原");
    case favorites::MaintenanceFailure::ReplacedFavoritesKept:
        return QStringLiteral("还原已经完成，但原来的收藏无法放入回收站，留在了 %1 中");
    case favorites::MaintenanceFailure::ReplacedFavoritesNotDeleted:
        return QStringLiteral("还原已经完成，但原来的收藏没有全部删除，剩下的在 %1 中，程序下次启动时会再删除它们");
    case favorites::MaintenanceFailure::WorkingFolderGone:
        return QStringLiteral("还原中途，程序在收藏夹 %1 中的临时文件夹被移走了，收藏夹可能不完整");
    }
    return QString();
}

QString editSentence(jobs::EditFailure kind)
{
    switch (kind) {
    case jobs::EditFailure::NoSuchRow:
        return QStringLiteral("没有这一行：%1");
    case jobs::EditFailure::NotAShortcut:
        return QStringLiteral("这不是网址快捷方式文件，不能修改：%1");
    case jobs::EditFailure::NameEmpty:
        return QStringLiteral("名称不能为空");
    case jobs::EditFailure::NameNotAllowed:
        return QStringLiteral("名称不能是“.”或“..”，也不能含有 \\ / : * ? \" < > | 或控制字符：%1");
    case jobs::EditFailure::NameWouldBeHidden:
        return QStringLiteral("这样的名称会使收藏成为隐藏文件：%1");
    case jobs::EditFailure::FolderNeedsSeparator:
        return QStringLiteral("目录必须以 %4 开头：%1");
    case jobs::EditFailure::TargetFolderMissing:
        return QStringLiteral("目录不存在：%1");
    case jobs::EditFailure::TargetFolderOutside:
        return QStringLiteral("目录不在收藏夹中：%1");
    }
    return QString();
}

QString workSentence(jobs::WorkFailure kind)
{
    return kind == jobs::WorkFailure::UnexpectedWhileLoading ? QStringLiteral("读取收藏夹时出现意外错误")
                                                             : QStringLiteral("处理时出现意外错误");
}

QString sentence(const platform::FailureKind& kind)
{
    if (const auto files = kind.as<platform::FileFailure>())
        return fileSentence(*files);
    if (const auto shortcut = kind.as<favorites::ShortcutFailure>())
        return shortcutSentence(*shortcut);
    if (const auto maintenance = kind.as<favorites::MaintenanceFailure>())
        return maintenanceSentence(*maintenance);
    if (const auto edit = kind.as<jobs::EditFailure>())
        return editSentence(*edit);
    if (const auto work = kind.as<jobs::WorkFailure>())
        return workSentence(*work);
    return QStringLiteral("未知的错误：%1");
}

QString reasonWords(SystemReason reason)
{
    switch (reason) {
    case SystemReason::None:
    case SystemReason::Other:
        return QString();
    case SystemReason::AccessDenied:
        return QStringLiteral("没有权限");
    case SystemReason::NotFound:
        return QStringLiteral("文件或文件夹不存在");
    case SystemReason::AlreadyExists:
        return QStringLiteral("已经存在");
    case SystemReason::DiskFull:
        return QStringLiteral("磁盘空间不足");
    case SystemReason::QuotaExceeded:
        return QStringLiteral("超出了磁盘配额");
    case SystemReason::ReadOnlyMedium:
        return QStringLiteral("磁盘是只读的");
    case SystemReason::InUse:
        return QStringLiteral("正在被使用");
    case SystemReason::NameTooLong:
        return QStringLiteral("名称或路径太长");
    case SystemReason::InvalidName:
        return QStringLiteral("名称中有文件系统不接受的字符");
    case SystemReason::TooManyOpenFiles:
        return QStringLiteral("打开的文件太多");
    case SystemReason::FolderNotEmpty:
        return QStringLiteral("文件夹不是空的");
    case SystemReason::IsAFolder:
        return QStringLiteral("这是文件夹");
    case SystemReason::NotAFolder:
        return QStringLiteral("路径中有一项不是文件夹");
    case SystemReason::DeviceError:
        return QStringLiteral("磁盘读写出错");
    case SystemReason::FileTooLarge:
        return QStringLiteral("文件太大");
    case SystemReason::TooManyLinks:
        return QStringLiteral("链接的层数太多");
    case SystemReason::OutOfMemory:
        return QStringLiteral("内存不足");
    case SystemReason::CrossDevice:
        return QStringLiteral("不能在不同的磁盘之间移动");
    }
    return QString();
}

bool hasLatinLetter(const QString& text)
{
    for (const QChar c : text) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            return true;
    }
    return false;
}

// The system's own text can be used when it is in the user's language: Qt's texts once its Chinese translation
// is loaded, the system's on a Chinese Windows. The paths it quotes do not count.
bool isChineseText(QString text, const QStringList& paths)
{
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        text.remove(path);
        text.remove(QDir::fromNativeSeparators(path));
    }
    return !text.trimmed().isEmpty() && !hasLatinLetter(text);
}

// Puts values[n - 1] in place of each %n (n from 1 to 9), in one pass: a path that holds "%2" stays as it is.
QString fillIn(const QString& pattern, const QStringList& values)
{
    QString text;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const int n = c == u'%' && i + 1 < pattern.size() ? pattern.at(i + 1).digitValue() : -1;
        if (n >= 1 && n <= values.size()) {
            text += values.at(n - 1);
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

QString systemReasonText(const platform::SystemError& error, const QStringList& paths)
{
    if (error.reason == SystemReason::None)
        return QString();
    const QString words = reasonWords(error.reason);
    if (!words.isEmpty())
        return words;
    if (isChineseText(error.text, paths))
        return error.text.trimmed();
    if (error.code != 0)
        return QStringLiteral("系统错误代码 %1").arg(error.code);
    return QStringLiteral("原因不明");
}

QString failureText(const platform::Failure& failure)
{
    if (!failure.failed())
        return QString();
    QString text = fillIn(sentence(failure.kind),
                          {failure.path, failure.otherPath, QString::number(favorites::maxShortcutFileSize),
                           QString(platform::separator())});
    // What the exception said, when it said something: not the user's language, but what a report of it needs.
    if (failure.kind.as<jobs::WorkFailure>() && !failure.path.isEmpty())
        text += QStringLiteral("：") + failure.path;
    QString reason = systemReasonText(failure.system, {failure.path, failure.otherPath});
    if (failure.kind == platform::FileFailure::FolderNotRemoved) {
        // Emptied as far as the listing shows, yet not empty to the system: the listing leaves out names that
        // cannot be read in this system's encoding.
        if (failure.system.reason == SystemReason::FolderNotEmpty)
            reason = QStringLiteral("其中有名称无法按本系统的编码读取的项");
        else if (reason.isEmpty())
            reason = QStringLiteral("可能正在被使用、没有权限，或其中有名称无法按本系统的编码读取的项");
    }
    if (!reason.isEmpty())
        text += QStringLiteral("（") + reason + QStringLiteral("）");
    return text;
}

QString outcomeText(const table::Outcome& outcome)
{
    using table::Reason;
    switch (outcome.reason) {
    case Reason::Unknown:
        return QString();
    case Reason::Answered:
        break;
    case Reason::NameNotResolved:
        return QStringLiteral("域名无法解析");
    case Reason::ConnectionRefused:
        return QStringLiteral("连接被拒绝");
    case Reason::CouldNotConnect:
        return QStringLiteral("无法连接到服务器");
    case Reason::ConnectionReset:
        return QStringLiteral("连接被重置");
    case Reason::ClosedWithoutAnswer:
        return QStringLiteral("服务器没有应答就断开了连接");
    case Reason::NotHttp:
        return QStringLiteral("应答不是 HTTP");
    case Reason::HeadTooLarge:
        return QStringLiteral("应答头超过 300 KiB");
    case Reason::TimedOut:
        return QStringLiteral("40 秒内没有应答");
    case Reason::ProxyCouldNotReach:
        return QStringLiteral("代理服务器无法连接到该网站");
    case Reason::SecureConnectionFailed:
        return QStringLiteral("安全连接失败");
    }
    const QString answered = QStringLiteral("服务器应答 %1").arg(outcome.status);
    if (outcome.movedTo.isEmpty())
        return answered;
    switch (outcome.status) {
    case 301:
    case 308:
        return answered + QStringLiteral("，已永久移到 ") + outcome.movedTo;
    case 302:
    case 303:
    case 307:
        return answered + QStringLiteral("，临时转到 ") + outcome.movedTo;
    default:
        return answered;
    }
}

QString alreadyRunningText(const QString& dataFolder)
{
    return QStringLiteral("Tessaly 已经在运行，正在使用数据文件夹 %1。请使用已经打开的窗口。")
        .arg(QDir::toNativeSeparators(dataFolder));
}

QString favoritesInUseText(const QString& favPath)
{
    return QStringLiteral(
               "Tessaly 已经在运行，正在处理收藏夹 %1。同一个收藏夹一次只能由一个 Tessaly 处理，请使用已经打开的窗口。")
        .arg(QDir::toNativeSeparators(favPath));
}

} // namespace ui
