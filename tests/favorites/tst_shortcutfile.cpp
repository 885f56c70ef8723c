#include "favorites/ShortcutFile.h"
#include "platform/CodePage.h"
#include "support/FileModes.h"
#include "support/TempFavorites.h"
#include "ui/FailureText.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using favorites::GetUrl;
using favorites::SetUrl;
using platform::TextEncoding;
using testsupport::readFile;
using testsupport::writeFile;

namespace
{

QString samplePath(const QString& name)
{
    return QStringLiteral(TESSALY_TEST_DATA "/urls/") + name;
}

// The README of the samples gives the cp1251 values decoded; these are their bytes in the file.
QByteArray cp1251Bytes(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            bytes += char(u);
        else if (u >= 0x0410 && u <= 0x044F)
            bytes += char(0xC0 + (u - 0x0410));
        else if (u == 0x0451)
            bytes += char(0xB8);
        else
            bytes += '?'; // not used by the samples
    }
    return bytes;
}

// Bytes as the program decodes a file in the given encoding.
QString decodeAs(const QByteArray& bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Gb18030) {
        QStringDecoder decoder("GB18030");
        return decoder.decode(bytes);
    }
    return platform::decodeSystem(bytes);
}

QByteArray gb18030(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

// What a write of address must make of a sample, worked out on the samples' own simple layout: the header
// "[InternetShortcut]" alone on its line and "URL=" at the start of the key's line.
QByteArray expectedAfterWrite(const QByteArray& before, const QByteArray& address)
{
    const QByteArray newLine = "URL=" + address + "\r\n";
    auto lineEndAt = [&](qsizetype from) {
        qsizetype end = from;
        while (end < before.size() && before[end] != '\r' && before[end] != '\n')
            ++end;
        return end;
    };
    auto nextLineAt = [&](qsizetype end) {
        if (end < before.size() && before[end] == '\r' && end + 1 < before.size() && before[end + 1] == '\n')
            return end + 2;
        return end < before.size() ? end + 1 : end;
    };
    bool inSection = false;
    for (qsizetype begin = 0; begin < before.size();) {
        const qsizetype end = lineEndAt(begin);
        const qsizetype next = nextLineAt(end);
        const QByteArray line = before.mid(begin, end - begin);
        if (line.startsWith('['))
            inSection = line == "[InternetShortcut]";
        else if (inSection && line.startsWith("URL="))
            return before.left(begin) + newLine + before.mid(next);
        begin = next;
    }
    QByteArray after = before;
    if (!after.isEmpty() && !after.endsWith('\n') && !after.endsWith('\r'))
        after += "\r\n";
    return after + "[InternetShortcut]\r\n" + newLine;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestShortcutFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void getUrlSamples_data() { addSamples(); }
    void getUrlSamples();
    void setUrlSamplesChangesOnlyUrlLine_data() { addSamples(); }
    void setUrlSamplesChangesOnlyUrlLine();
    void setUrlSameAddressKeepsSample_data() { addSamples(); }
    void setUrlSameAddressKeepsSample();

    void getUrl_data();
    void getUrl();
    void setUrlChangesOnlyUrlLine();
    void gb18030FileKeepsItsBytes();
    void utf16LeFileStaysUtf16Le();
    void damagedUtf16LeFileIsNotRewritten();
    void missingFile();
    void missingFolder();
    void folderIsNoShortcut();
    void sizeLimit();
    void refusedAddresses_data();
    void refusedAddresses();
    void permissionsKept();
    void readOnlyFolderReportsFailure();
    void readOnlyFileReportsFailure();
#ifdef Q_OS_UNIX
    void linkedFileWrittenThroughLink();
    void namedPipeReadsEmpty();
#endif

private:
    static void addSamples();
    QString file(const QString& name) const
    {
        return m_dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestShortcutFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestShortcutFile::addSamples()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("cp1251");

    QTest::newRow("01") << QStringLiteral("01-ie-default-baseurl-differs-hotkey.url")
                        << QStringLiteral("http://team.eu.enet/sites/akersolutionsvt/PMO/PMO%20%20Active%20Projects/"
                                          "Utsira/Project%20Management/Hour%20codes%20Utsira.xlsx")
                        << false;
    QTest::newRow("02") << QStringLiteral("02-ie-cp1251-host-A-W-utf7-sections.url")
                        << QStringLiteral(
                               "http://нашаоснастка.рф/frezernaja-osnastka/cangovyj-patron-pod-konus-morze-mtb-er.html")
                        << true;
    QTest::newRow("03") << QStringLiteral("03-ie-default-A-W-idn-cp1251.url") << QStringLiteral("http://моторезина.рф/")
                        << true;
    QTest::newRow("04") << QStringLiteral("04-ie-many-doc-frame-sections.url")
                        << QStringLiteral("http://теплорасчет.рф/") << true;
    QTest::newRow("05") << QStringLiteral("05-ie-long-url-no-default.url")
                        << QStringLiteral("http://vi.vipr.ebaydesc.com/ws/"
                                          "eBayISAPI.dll?ViewItemDescV4&item=171640434692&t=1424272334000&tid=10&"
                                          "category=57122&seller=suriy_teera&vipguid=6fc29ab014c0a5e2c713d9d3ff6a9239&"
                                          "excTrk=1&tto=3500&lsite=0&ittenable=false&domain=ebay.com&descgauge=1")
                        << false;
    QTest::newRow("06")
        << QStringLiteral("06-ie-doc-origurl-javascript.url")
        << QStringLiteral(
               "http://www.ebay.com/itm/"
               "PDJ-CNC-router-plans-kit-milling-machine-plasma-rapid-prototyping-projects-DVD-/"
               "301387413809?nma=true&si=3ueb9ICBT4nJfTszNbVh3va4WFM%253D&orig_cvip=true&rt=nc&_trksid=p2047675.l2557")
        << false;
    QTest::newRow("07") << QStringLiteral("07-ie11-propstore-prop16-19-first.url")
                        << QStringLiteral(
                               "https://www.avito.ru/sankt-peterburg/oborudovanie_dlya_biznesa/tiski_361498422")
                        << false;
    QTest::newRow("08") << QStringLiteral("08-empty-zero-byte-file.url") << QStringLiteral("") << false;
    QTest::newRow("09") << QStringLiteral("09-ie8-suggested-sites-monitoreditem.url")
                        << QStringLiteral("https://ieonline.microsoft.com/#ieslice") << false;
    QTest::newRow("10") << QStringLiteral("10-ie-doc-relative-origurl-port.url")
                        << QStringLiteral("http://komusdev.novardis.com:1080/") << false;
    QTest::newRow("11")
        << QStringLiteral("11-ie-cp1251-long-url-truncation.url")
        << QStringLiteral(
               "http://схема-авто.рф/"
               "%D1%84%D0%B8%D0%BB%D1%8C%D1%82%D1%80-%D1%81%D1%82%D0%B0%D0%B1%D0%B8%D0%BB%D0%B8%D0%B7%D0%B0%D1%82%D0%"
               "BE%D1%80-%D0%B4%D0%BB%D1%8F-%D0%BF%D0%B8%D1%82%D0%B0%D0%BD%D0%B8%D1%8F-%D1%87%D1%83%D0%B2%D1%81.html")
        << true;
    QTest::newRow("12") << QStringLiteral("12-yandex-no-final-newline-lf.url")
                        << QStringLiteral("http://mail.yandex.ru/?win=163&clid=2101163") << false;
    QTest::newRow("13") << QStringLiteral("13-minimal-section-only-lf.url")
                        << QStringLiteral(
                               "http://farsila.ru/?utm_source=favorites03&utm_content=558b955080c3520c5dd0ac544069e881")
                        << false;
    QTest::newRow("14") << QStringLiteral("14-ie8-zhtw-default-roamed-monitoreditem.url")
                        << QStringLiteral("https://ieonline.microsoft.com/#ieslice") << false;
    QTest::newRow("15") << QStringLiteral("15-cr-only-line-endings-mac.url")
                        << QStringLiteral("http://banks.id.au/filemaker/plugins/simpleplugin/") << false;
    QTest::newRow("16") << QStringLiteral("16-crlf-no-final-newline.url")
                        << QStringLiteral("https://tools.stefankueng.com/") << false;
    QTest::newRow("17") << QStringLiteral("17-not-a-shortcut-hash-comment-list.url") << QStringLiteral("") << false;
    QTest::newRow("18") << QStringLiteral("18-old-default-modified-long-url.url")
                        << QStringLiteral("http://www.microsoft.com/isapi/"
                                          "redir.dll?prd=windows&sbp=mediaplayer&plcid=&pver=6.1&os=&over=&olcid=&"
                                          "clcid=&ar=Media&sba=RadioBar&o1=&o2=&o3=")
                        << false;
    QTest::newRow("19") << QStringLiteral("19-2004-default-baseurl-ftp-modified.url")
                        << QStringLiteral("ftp://ftp.uk.linux.org/pub/people/dwmw2/mtd/cvs/mtd/mtd-jffs-HOWTO.txt")
                        << false;
    QTest::newRow("20") << QStringLiteral("20-2004-blank-line-between-sections.url")
                        << QStringLiteral("http://www.dtek.chalmers.se/~d99scox/Linux_i_tradlosa_IP_telefoner.pdf")
                        << false;
    QTest::newRow("21") << QStringLiteral("21-yahoo-installer-iconindex-first.url")
                        << QStringLiteral(
                               "http://red.clientapps.yahoo.com/customize/links/msgr8/*http://www.yahoo.com/")
                        << false;
    QTest::newRow("22") << QStringLiteral("22-very-long-url-414-bytes.url")
                        << QStringLiteral("http://images.google.com/imgres?imgurl=http://hotspot.webblogg.se/images/"
                                          "greekgodess_1147080743.png&imgrefurl=http://hotspot.webblogg.se/"
                                          "080506093754_hitta_stilen___greek_goddess.html&h=600&w=400&sz=246&hl=en&"
                                          "start=18&um=1&tbnid=Q2QBxYIqDm3P5M:&tbnh=135&tbnw=90&prev=/"
                                          "images%3Fq%3Dkl%25C3%25A4der%2Bi%2Bantikens%2Brom%26svnum%3D10%26um%3D1%"
                                          "26hl%3Den%26client%3Dfirefox-a%26rls%3Dorg.mozilla:en-US:official%26sa%3DG")
                        << false;
    QTest::newRow("23") << QStringLiteral("23-ie7-propstore-after.url")
                        << QStringLiteral("http://go.microsoft.com/fwlink/?linkid=57277") << false;
    QTest::newRow("24") << QStringLiteral("24-minimal-crlf.url") << QStringLiteral("http://assimp.sourceforge.net")
                        << false;
    QTest::newRow("25") << QStringLiteral("25-minimal-lf.url")
                        << QStringLiteral("https://github.com/jacob-jarick/Tab-All-The-Things") << false;
    QTest::newRow("26") << QStringLiteral("26-lf-no-final-newline.url") << QStringLiteral("https://azefalo.github.io/")
                        << false;
    QTest::newRow("27") << QStringLiteral("27-trailing-space-only-line.url")
                        << QStringLiteral("http://nine.codeplex.com") << false;
    QTest::newRow("28") << QStringLiteral("28-win8-bing-default-idlist-first-envvar-icon.url")
                        << QStringLiteral("http://go.microsoft.com/fwlink/p/?LinkId=255142") << false;
    QTest::newRow("29") << QStringLiteral("29-ie-modified-hotkey-favicon.url")
                        << QStringLiteral("http://happysolver.sourceforge.net/") << false;
    QTest::newRow("30") << QStringLiteral("30-steam-scheme.url") << QStringLiteral("steam://rungameid/230410") << false;
    QTest::newRow("31") << QStringLiteral("31-firefox-created-shortcutcache-icon.url")
                        << QStringLiteral("https://github.com/GabrielOnDelphi/Delphi_Fix_SetFocus") << false;
    QTest::newRow("32") << QStringLiteral("32-not-a-shortcut-bare-url.url") << QStringLiteral("") << false;
    QTest::newRow("33") << QStringLiteral("33-handmade-comments-quoted-path.url")
                        << QStringLiteral("C:\\Users\\marti\\OneDrive\\Dokumenty\\0404--HLAVNI-ROZCESTNIK--MAIN-INDEX")
                        << false;
    QTest::newRow("34") << QStringLiteral("34-installer-propstore-last-no-final-newline.url")
                        << QStringLiteral("http://s3browser.com/?f=dot-url") << false;
    QTest::newRow("35") << QStringLiteral("35-iconfile-only-trailing-blank-line.url")
                        << QStringLiteral("https://www.state-machine.com/qpc/") << false;
    QTest::newRow("36") << QStringLiteral("36-trailing-empty-line-lf.url")
                        << QStringLiteral("http://www.davep.org/norton-guides/#weg") << false;
}

void TestShortcutFile::getUrlSamples()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QFETCH(bool, cp1251);
    const QString path = samplePath(name);
    QVERIFY(QFileInfo::exists(path));
    QString wanted = expected;
    if (cp1251) {
        // The value's bytes are cp1251, which no encoding of this build knows. Check that exactly those bytes
        // are returned, decoded the way the program decodes the whole file.
        const QByteArray fileBytes = readFile(path);
        const QByteArray valueBytes = cp1251Bytes(expected);
        QVERIFY(fileBytes.contains("\nURL=" + valueBytes + "\r\n"));
        const TextEncoding encoding = platform::decodeText(fileBytes).encoding;
        QVERIFY(encoding != TextEncoding::Utf16Le);
        wanted = decodeAs(valueBytes, encoding);
        QVERIFY(wanted.startsWith(QLatin1String("http://")));
    }
    QCOMPARE(GetUrl(path), wanted);
}

void TestShortcutFile::setUrlSamplesChangesOnlyUrlLine()
{
    QFETCH(QString, name);
    const QByteArray before = readFile(samplePath(name));
    const QString path = file(name);
    QVERIFY(writeFile(path, before));

    const QString address = QStringLiteral("http://example.invalid/new?a=1&b=%20");
    platform::Failure error;
    QVERIFY2(SetUrl(path, address, &error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path), expectedAfterWrite(before, address.toLatin1()));
    QCOMPARE(GetUrl(path), address);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{name}); // no temporary file left behind
}

void TestShortcutFile::setUrlSameAddressKeepsSample()
{
    // Also for the cp1251 files, whose address this build reads with replacement characters: storing what
    // was read must not replace the original bytes.
    QFETCH(QString, name);
    const QByteArray before = readFile(samplePath(name));
    const QString path = file(name);
    QVERIFY(writeFile(path, before));
    platform::Failure error;
    QVERIFY2(SetUrl(path, GetUrl(path), &error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path), before);
}

void TestShortcutFile::getUrl_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QByteArray address40 = "http://example.com/abcdefghijklmnopqrstu";
    QCOMPARE(address40.size(), 40);
    QTest::newRow("40 characters") << QByteArray("[InternetShortcut]\r\nURL=" + address40 + "\r\nIconIndex=0\r\n")
                                   << QString::fromLatin1(address40);
    QTest::newRow("no URL key") << QByteArray("[InternetShortcut]\r\nIconIndex=0\r\n") << QString();
    QTest::newRow("empty URL") << QByteArray("[InternetShortcut]\r\nURL=\r\n") << QString();
    QTest::newRow("blank URL") << QByteArray("[InternetShortcut]\r\nURL=  \t\r\n") << QString();
    const QByteArray address200 = "http://example.com/" + QByteArray(181, 'a');
    QCOMPARE(address200.size(), 200);
    QTest::newRow("200 characters whole")
        << QByteArray("[InternetShortcut]\r\nURL=" + address200 + "\r\n") << QString::fromLatin1(address200);
    const QByteArray address128 = "http://example.com/" + QByteArray(109, 'b');
    QTest::newRow("128 characters whole")
        << QByteArray("[InternetShortcut]\r\nURL=" + address128 + "\r\n") << QString::fromLatin1(address128);
    const QString wide = QStringLiteral("http://例子.测试/") + QString(100, QChar(0x8DEF));
    QTest::newRow("300 UTF-8 bytes whole") << QByteArray("[InternetShortcut]\r\nURL=" + wide.toUtf8() + "\r\n") << wide;
    QTest::newRow("not a shortcut") << QByteArray("Visit http://example.com/ some day.\r\n") << QString();
    QTest::newRow("URL in another section")
        << QByteArray("[DEFAULT]\r\nURL=http://a/\r\nBASEURL=http://b/\r\n") << QString();
    QTest::newRow("URL before any section") << QByteArray("URL=http://a/\r\n[InternetShortcut]\r\n") << QString();
    QTest::newRow("binary junk") << QByteArray("\x00\x01\xFF\xFE\x00[\x00", 7) << QString();
}

void TestShortcutFile::getUrl()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString path = file(QStringLiteral("a.url"));
    QVERIFY(writeFile(path, bytes));
    QCOMPARE(GetUrl(path), expected);
}

void TestShortcutFile::setUrlChangesOnlyUrlLine()
{
    const QByteArray before = "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n"
                              "[InternetShortcut]\r\nIDList=\r\nURL=http://old.example/\r\nIconFile=C:\\x.ico\r\n"
                              "IconIndex=1\r\nHotKey=0\r\n\r\n";
    const QByteArray after = "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n"
                             "[InternetShortcut]\r\nIDList=\r\nURL=http://new.example/p\r\nIconFile=C:\\x.ico\r\n"
                             "IconIndex=1\r\nHotKey=0\r\n\r\n";
    const QString path = file(QStringLiteral("a.url"));
    QVERIFY(writeFile(path, before));
    platform::Failure error;
    QVERIFY(SetUrl(path, QStringLiteral("http://new.example/p"), &error));
    QCOMPARE(readFile(path), after);
    QVERIFY(!error.failed());
}

void TestShortcutFile::gb18030FileKeepsItsBytes()
{
    const QString text = QStringLiteral("[InternetShortcut]\r\nURL=http://a.example/\r\nIconFile=C:\\图标\\收藏.ico\r\n"
                                        "[其他]\r\n名字=中文收藏夹\r\n");
    const QByteArray before = gb18030(text);
    QCOMPARE(platform::decodeText(before).encoding, TextEncoding::Gb18030); // the premise: not valid UTF-8
    const QString path = file(QStringLiteral("中文.url"));
    QVERIFY(writeFile(path, before));
    QCOMPARE(GetUrl(path), QStringLiteral("http://a.example/"));

    const QString address = QStringLiteral("http://b.example/路径");
    QVERIFY(SetUrl(path, address));
    QCOMPARE(readFile(path), gb18030(QString(text).replace(QStringLiteral("http://a.example/"), address)));
    QCOMPARE(GetUrl(path), address);
}

void TestShortcutFile::utf16LeFileStaysUtf16Le()
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QString text = QStringLiteral("[InternetShortcut]\r\nURL=http://a.example/\r\nName=收藏\r\n");
    const QByteArray before = QByteArray("\xFF\xFE") + QByteArray(utf16.encode(text));
    const QString path = file(QStringLiteral("u.url"));
    QVERIFY(writeFile(path, before));
    QCOMPARE(GetUrl(path), QStringLiteral("http://a.example/"));

    QVERIFY(SetUrl(path, QStringLiteral("http://b.example/新")));
    const QString changed =
        QString(text).replace(QStringLiteral("http://a.example/"), QStringLiteral("http://b.example/新"));
    QCOMPARE(readFile(path), QByteArray("\xFF\xFE") + QByteArray(utf16.encode(changed)));
    QCOMPARE(GetUrl(path), QStringLiteral("http://b.example/新"));
}

void TestShortcutFile::damagedUtf16LeFileIsNotRewritten()
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray before = QByteArray("\xFF\xFE") +
                              QByteArray(utf16.encode(QStringLiteral("[InternetShortcut]\r\nURL=http://a/\r\n"))) +
                              QByteArray("\x41"); // an odd byte at the end
    const QString path = file(QStringLiteral("u.url"));
    QVERIFY(writeFile(path, before));
    QCOMPARE(GetUrl(path), QStringLiteral("http://a/"));
    platform::Failure error;
    QVERIFY(!SetUrl(path, QStringLiteral("http://b/"), &error));
    QCOMPARE(error.kind, favorites::ShortcutFailure::DamagedText);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(readFile(path), before);
}

void TestShortcutFile::missingFile()
{
    const QString path = file(QStringLiteral("new.url"));
    QCOMPARE(GetUrl(path), QString());
    QVERIFY(!QFileInfo::exists(path));
    platform::Failure error;
    QVERIFY2(SetUrl(path, QStringLiteral("http://a.example/"), &error), qPrintable(ui::failureText(error)));
    QCOMPARE(readFile(path), QByteArray("[InternetShortcut]\r\nURL=http://a.example/\r\n"));
}

void TestShortcutFile::missingFolder()
{
    const QString path = file(QStringLiteral("nowhere/new.url"));
    platform::Failure error;
    QVERIFY(!SetUrl(path, QStringLiteral("http://a.example/"), &error));
    QCOMPARE(error.kind, platform::FileFailure::FolderMissing);
    QCOMPARE(error.path, QDir::toNativeSeparators(file(QStringLiteral("nowhere"))));
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("nowhere"))));
}

void TestShortcutFile::folderIsNoShortcut()
{
    const QString path = file(QStringLiteral("folder.url"));
    QVERIFY(QDir().mkdir(path));
    QCOMPARE(GetUrl(path), QString());
    platform::Failure error;
    QVERIFY(!SetUrl(path, QStringLiteral("http://a.example/"), &error));
    QCOMPARE(error.kind, platform::FileFailure::NotARegularFile);
    QVERIFY(QFileInfo(path).isDir());
}

void TestShortcutFile::sizeLimit()
{
    const QByteArray head = "[InternetShortcut]\r\nURL=http://a.example/\r\n";
    const QByteArray atLimit = head + QByteArray(favorites::maxShortcutFileSize - head.size(), ';');
    const QString path = file(QStringLiteral("big.url"));
    QVERIFY(writeFile(path, atLimit));
    QCOMPARE(GetUrl(path), QStringLiteral("http://a.example/"));

    const QByteArray overLimit = atLimit + ';';
    QVERIFY(writeFile(path, overLimit));
    QCOMPARE(GetUrl(path), QString());
    platform::Failure error;
    QVERIFY(!SetUrl(path, QStringLiteral("http://b.example/"), &error));
    QCOMPARE(error.kind, favorites::ShortcutFailure::TooLarge);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(QFileInfo(path).size(), overLimit.size());
}

void TestShortcutFile::refusedAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("CR LF") << QStringLiteral("http://a/\r\n[x]");
    QTest::newRow("LF") << QStringLiteral("http://a/\nURL=http://evil/");
    QTest::newRow("leading blank") << QStringLiteral(" http://a/");
    QTest::newRow("trailing tab") << QStringLiteral("http://a/\t");
    QTest::newRow("quoted") << QStringLiteral("\"http://a/\"");
}

void TestShortcutFile::refusedAddresses()
{
    // Each of these would read back as something else than was stored.
    QFETCH(QString, address);
    const QByteArray before = "[InternetShortcut]\r\nURL=http://old/\r\n";
    const QString path = file(QStringLiteral("a.url"));
    QVERIFY(writeFile(path, before));
    platform::Failure error;
    QVERIFY(!SetUrl(path, address, &error));
    QVERIFY(error.kind == favorites::ShortcutFailure::AddressHasLineBreak ||
            error.kind == favorites::ShortcutFailure::AddressNotStorable);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(readFile(path), before);
    // Asked first, without writing, the answer is the same.
    platform::Failure asked;
    QVERIFY(!favorites::canSetUrl(path, address, &asked));
    QCOMPARE(asked.kind, error.kind);
}

void TestShortcutFile::permissionsKept()
{
    const QString path = file(QStringLiteral("a.url"));
    QVERIFY(writeFile(path, testsupport::shortcutBytes(QStringLiteral("http://old/"))));
    QVERIFY(testsupport::setMode(path, 0640));
    QVERIFY(SetUrl(path, QStringLiteral("http://new/")));
    QCOMPARE(GetUrl(path), QStringLiteral("http://new/"));
    QCOMPARE(testsupport::modeOf(path), 0640);
}

void TestShortcutFile::readOnlyFolderReportsFailure()
{
    if (!testsupport::permissionsEnforced(m_dir->path()))
        QSKIP("folder permissions are not enforced for this user");
    const QString folder = file(QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/a.url");
    const QByteArray before = testsupport::shortcutBytes(QStringLiteral("http://old/"));
    QVERIFY(writeFile(path, before));
    QVERIFY(testsupport::setMode(folder, 0555));
    platform::Failure error;
    const bool written = SetUrl(path, QStringLiteral("http://new/"), &error);
    testsupport::setMode(folder, 0755);
    QVERIFY(!written);
    QCOMPARE(error.kind, platform::FileFailure::WriteFailed);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(error.system.reason, platform::SystemReason::AccessDenied);
    QCOMPARE(readFile(path), before);
    QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("a.url")});
}

void TestShortcutFile::readOnlyFileReportsFailure()
{
    if (!testsupport::permissionsEnforced(m_dir->path()))
        QSKIP("file permissions are not enforced for this user");
    const QString path = file(QStringLiteral("a.url"));
    const QByteArray before = testsupport::shortcutBytes(QStringLiteral("http://old/"));
    QVERIFY(writeFile(path, before));
    QVERIFY(testsupport::setMode(path, 0444));
    platform::Failure error;
    QVERIFY(!SetUrl(path, QStringLiteral("http://new/"), &error));
    QCOMPARE(error.kind, platform::FileFailure::ReadOnlyFile);
    QCOMPARE(error.path, QDir::toNativeSeparators(path));
    QCOMPARE(readFile(path), before);
    // Storing the address it already holds needs no write and succeeds.
    QVERIFY(SetUrl(path, QStringLiteral("http://old/")));
}

#ifdef Q_OS_UNIX
void TestShortcutFile::linkedFileWrittenThroughLink()
{
    const QString target = file(QStringLiteral("target.url"));
    const QString link = file(QStringLiteral("link.url"));
    QVERIFY(writeFile(target, testsupport::shortcutBytes(QStringLiteral("http://old/"))));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(GetUrl(link), QStringLiteral("http://old/"));
    QVERIFY(SetUrl(link, QStringLiteral("http://new/")));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(GetUrl(target), QStringLiteral("http://new/"));
}

void TestShortcutFile::namedPipeReadsEmpty()
{
    // Opening a pipe nobody writes to would block for ever.
    const QString path = file(QStringLiteral("pipe.url"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    QCOMPARE(GetUrl(path), QString());
    QVERIFY(!SetUrl(path, QStringLiteral("http://a/")));
}
#endif

QTEST_GUILESS_MAIN(TestShortcutFile)
#include "tst_shortcutfile.moc"
