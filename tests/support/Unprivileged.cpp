#include "support/Unprivileged.h"

#include <algorithm>

#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include "support/ChildRun.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testsupport
{

namespace
{
const QString kNobodyRun = QStringLiteral("nobody");
}

bool isSuperuser()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

bool isUnprivilegedChild()
{
    return isChildRun() && childRunValue() == kNobodyRun;
}

QStringList asNobody()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return {};
    return {setpriv, QStringLiteral("--reuid=%1").arg(kNobodyId), QStringLiteral("--regid=%1").arg(kNobodyId),
            QStringLiteral("--clear-groups")};
}

int runAsNobody(const QString& testFunction, const QProcessEnvironment& extra, QString* output, QString* why)
{
    const QStringList wrapper = asNobody();
    if (wrapper.isEmpty()) {
        *why = QStringLiteral("setpriv is not installed");
        return -1;
    }
    QByteArray printed;
    const int code = runSelfInChild(wrapper, testFunction, kNobodyRun, &printed, 60000, QString(), extra);
    *output = QString::fromLocal8Bit(printed);
    if (code == -1)
        *why = *output;
    return code;
}

NobodyRun runCurrentRowAsNobody(const QString& root)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("TESSALY_TEST_ROOT"), root);
    env.insert(QStringLiteral("HOME"), root);
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    NobodyRun run;
    const int code = runAsNobody(tag.isEmpty() ? function : function + u':' + tag, env, &run.output, &run.why);
    run.made = code != -1;
    const QString passLine = QStringLiteral("::%1(%2)").arg(function, tag);
    const QStringList lines = run.output.split(u'\n');
    run.passed = code == 0 && std::any_of(lines.begin(), lines.end(), [&passLine](const QString& line) {
                     return line.startsWith(QStringLiteral("PASS   : ")) && line.trimmed().endsWith(passLine);
                 });
    return run;
}

bool giveToNobody(const QString& path)
{
#ifdef Q_OS_UNIX
    bool ok = ::lchown(QFile::encodeName(path).constData(), kNobodyId, kNobodyId) == 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::lchown(QFile::encodeName(it.next()).constData(), kNobodyId, kNobodyId) == 0 && ok;
    return ok;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace testsupport
