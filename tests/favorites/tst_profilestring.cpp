#include "favorites/ProfileString.h"

#include <QStringDecoder>
#include <QTest>

using platform::TextEncoding;

class TestProfileString : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void readDefault();
    void write_data();
    void write();
    void writeBytesKeepsUndecodableBytes();
    void readBytesSectionWithBracketTrailByte();
    void writeUtf8BomKept();
    void utf16MarkPassedOverOnce();
};

void TestProfileString::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString s = QStringLiteral("S");
    const QString k = QStringLiteral("k");
    const QString none = QStringLiteral("<none>");
    QTest::newRow("plain") << QStringLiteral("[S]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("section case") << QStringLiteral("[internetSHORTCUT]\r\nURL=v\r\n")
                                  << QStringLiteral("InternetShortcut") << QStringLiteral("URL") << QStringLiteral("v");
    QTest::newRow("key case") << QStringLiteral("[S]\r\nuRl=v\r\n") << s << QStringLiteral("URL")
                              << QStringLiteral("v");
    QTest::newRow("value keeps case") << QStringLiteral("[S]\r\nk=AbC\r\n") << s << k << QStringLiteral("AbC");
    QTest::newRow("first key wins") << QStringLiteral("[S]\r\nk=1\r\nk=2\r\n") << s << k << QStringLiteral("1");
    QTest::newRow("first section only") << QStringLiteral("[S]\r\na=1\r\n[S]\r\nk=2\r\n") << s << k << none;
    QTest::newRow("other section skipped")
        << QStringLiteral("[T]\r\nk=1\r\n[S]\r\nk=2\r\n") << s << k << QStringLiteral("2");
    QTest::newRow("suffixed section is another") << QStringLiteral("[S.A]\r\nk=1\r\n") << s << k << none;
    QTest::newRow("name ends at first bracket") << QStringLiteral("[S]x]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("text after header ignored") << QStringLiteral("[S]k=v\r\n") << s << k << none;
    QTest::newRow("header without bracket") << QStringLiteral("[S\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks around header")
        << QStringLiteral(" \t[ \tS\v ] \r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks around key") << QStringLiteral("[S]\r\n \tk \t= v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks around value") << QStringLiteral("[S]\r\nk= \t\va b\v\t \r\n") << s << k
                                         << QStringLiteral("a b");
    QTest::newRow("names given with spaces")
        << QStringLiteral("[S]\r\nk=v\r\n") << QStringLiteral(" S ") << QStringLiteral(" k ") << QStringLiteral("v");
    QTest::newRow("comment") << QStringLiteral("[S]\r\n;k=1\r\nk=2\r\n") << s << k << QStringLiteral("2");
    QTest::newRow("indented comment") << QStringLiteral("[S]\r\n  ;k=1\r\n") << s << k << none;
    QTest::newRow("semicolon in value") << QStringLiteral("[S]\r\nk=a;b\r\n") << s << k << QStringLiteral("a;b");
    QTest::newRow("hash is no comment") << QStringLiteral("[S]\r\n#k=1\r\n") << s << QStringLiteral("#k")
                                        << QStringLiteral("1");
    QTest::newRow("double quotes") << QStringLiteral("[S]\r\nk=\" a \"\r\n") << s << k << QStringLiteral(" a ");
    QTest::newRow("single quotes") << QStringLiteral("[S]\r\nk='a'\r\n") << s << k << QStringLiteral("a");
    QTest::newRow("mismatched quotes") << QStringLiteral("[S]\r\nk=\"a'\r\n") << s << k << QStringLiteral("\"a'");
    QTest::newRow("doubled quotes") << QStringLiteral("[S]\r\nk=\"\"a\"\"\r\n") << s << k << QStringLiteral("\"a\"");
    QTest::newRow("lone quote") << QStringLiteral("[S]\r\nk=\"\r\n") << s << k << QStringLiteral("\"");
    QTest::newRow("equals in value") << QStringLiteral("[S]\r\nk=a=b\r\n") << s << k << QStringLiteral("a=b");
    QTest::newRow("empty value") << QStringLiteral("[S]\r\nk=\r\n") << s << k << QString();
    QTest::newRow("key without equals") << QStringLiteral("[S]\r\nk\r\n") << s << k << none;
    QTest::newRow("before first header") << QStringLiteral("k=v\r\n[S]\r\n") << s << k << none;
    QTest::newRow("LF") << QStringLiteral("[S]\nk=v\n") << s << k << QStringLiteral("v");
    QTest::newRow("CR only") << QStringLiteral("[S]\rk=v\rx=y\r") << s << k << QStringLiteral("v");
    QTest::newRow("mixed line ends") << QStringLiteral("[T]\r\n\n\r[S]\rk=v") << s << k << QStringLiteral("v");
    QTest::newRow("no final line end") << QStringLiteral("[S]\r\nk=v") << s << k << QStringLiteral("v");
    QTest::newRow("blank lines") << QStringLiteral("[S]\r\n\r\n   \r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("UTF-8 BOM passed over")
        << (QChar(0xFEFF) + QStringLiteral("[S]\r\nk=v\r\n")) << s << k << QStringLiteral("v");
    QTest::newRow("empty text") << QString() << s << k << none;
    QTest::newRow("not a profile") << QStringLiteral("# list\nexample.com\n") << s << k << none;
    QTest::newRow("long value whole") << (QStringLiteral("[S]\r\nk=") + QString(5000, u'x') + QStringLiteral("\r\n"))
                                      << s << k << QString(5000, u'x');
}

void TestProfileString::read()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(favorites::readProfileString(text, section, key, QStringLiteral("<none>")), expected);
}

void TestProfileString::readDefault()
{
    const QString text = QStringLiteral("[S]\r\na=1\r\n");
    QCOMPARE(favorites::readProfileString(text, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral(" d \t  ")),
             QStringLiteral(" d \t"));
    const QString none = favorites::readProfileString(text, QStringLiteral("S"), QStringLiteral("k"));
    QVERIFY(none.isEmpty());
}

void TestProfileString::write_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");

    QTest::newRow("replace, others kept") << QStringLiteral("[S]\r\na=1\r\nk=old\r\nb=2\r\n") << QStringLiteral("new")
                                          << QStringLiteral("[S]\r\na=1\r\nk=new\r\nb=2\r\n");
    QTest::newRow("key spelling kept") << QStringLiteral("[s]\r\n K =old\r\n") << QStringLiteral("new")
                                       << QStringLiteral("[s]\r\n K =new\r\n");
    QTest::newRow("LF file: changed line gets CR LF")
        << QStringLiteral("[S]\nk=old\nb=2\n") << QStringLiteral("new") << QStringLiteral("[S]\nk=new\r\nb=2\n");
    QTest::newRow("CR-only file") << QStringLiteral("[S]\rk=old\rb=2\r") << QStringLiteral("new")
                                  << QStringLiteral("[S]\rk=new\r\nb=2\r");
    QTest::newRow("last line without line end")
        << QStringLiteral("[S]\r\nk=old") << QStringLiteral("new") << QStringLiteral("[S]\r\nk=new\r\n");
    QTest::newRow("quoted old value") << QStringLiteral("[S]\r\nk=\"old\" \r\n") << QStringLiteral("new")
                                      << QStringLiteral("[S]\r\nk=new\r\n");
    QTest::newRow("other sections and comments kept")
        << QStringLiteral("; note\r\n[T]\r\nk=t\r\n\r\n[S]\r\n;k=c\r\nk=old\r\n[U]\r\nk=u") << QStringLiteral("new")
        << QStringLiteral("; note\r\n[T]\r\nk=t\r\n\r\n[S]\r\n;k=c\r\nk=new\r\n[U]\r\nk=u");
    QTest::newRow("new key after last key")
        << QStringLiteral("[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nc=3\r\n") << QStringLiteral("v")
        << QStringLiteral("[S]\r\na=1\r\nb=2\r\nk=v\r\n\r\n[T]\r\nc=3\r\n");
    QTest::newRow("new key into empty section")
        << QStringLiteral("[S]\n[T]\n") << QStringLiteral("v") << QStringLiteral("[S]\nk=v\r\n[T]\n");
    QTest::newRow("new key after last line without line end")
        << QStringLiteral("[S]\r\na=1") << QStringLiteral("v") << QStringLiteral("[S]\r\na=1\r\nk=v\r\n");
    QTest::newRow("new key goes to first section")
        << QStringLiteral("[S]\r\na=1\r\n[S]\r\nk=old\r\n") << QStringLiteral("v")
        << QStringLiteral("[S]\r\na=1\r\nk=v\r\n[S]\r\nk=old\r\n");
    QTest::newRow("new section at end") << QStringLiteral("[T]\r\nb=2\r\n") << QStringLiteral("v")
                                        << QStringLiteral("[T]\r\nb=2\r\n[S]\r\nk=v\r\n");
    QTest::newRow("new section after text without line end")
        << QStringLiteral("[T]\r\nb=2") << QStringLiteral("v") << QStringLiteral("[T]\r\nb=2\r\n[S]\r\nk=v\r\n");
    QTest::newRow("new section, key before headers ignored")
        << QStringLiteral("k=x\n") << QStringLiteral("v") << QStringLiteral("k=x\n[S]\r\nk=v\r\n");
    QTest::newRow("empty text") << QString() << QStringLiteral("v") << QStringLiteral("[S]\r\nk=v\r\n");
    QTest::newRow("empty value") << QStringLiteral("[S]\r\nk=old\r\n") << QString() << QStringLiteral("[S]\r\nk=\r\n");
    QTest::newRow("line breaks dropped from value")
        << QStringLiteral("[S]\r\nk=old\r\n") << QStringLiteral("a\r\n[X]\nb=c\r")
        << QStringLiteral("[S]\r\nk=a[X]b=c\r\n");
    QTest::newRow("UTF-8 BOM, section added on first line")
        << (QChar(0xFEFF) + QString()) << QStringLiteral("v") << (QChar(0xFEFF) + QStringLiteral("[S]\r\nk=v\r\n"));
}

void TestProfileString::write()
{
    QFETCH(QString, before);
    QFETCH(QString, value);
    QFETCH(QString, after);
    const QString written = favorites::writeProfileString(before, QStringLiteral("S"), QStringLiteral("k"), value);
    QCOMPARE(written, after);
    // What was written reads back, less the line breaks that a value cannot hold.
    QCOMPARE(favorites::readProfileString(written, QStringLiteral("S"), QStringLiteral("k")),
             QString(value).remove(u'\r').remove(u'\n'));
}

void TestProfileString::writeBytesKeepsUndecodableBytes()
{
    // cp1251 bytes that are not valid GB18030 (a lead byte before '.', a lone 0xFF) stay as they are.
    const QByteArray before(
        "[DEFAULT]\r\nBASEURL=http://\xED\xE0\xF8\xE0.\xF0\xF4/\xFF\r\n[S]\r\nk=old\r\nn=\xE0.\r\n");
    const QByteArray after("[DEFAULT]\r\nBASEURL=http://\xED\xE0\xF8\xE0.\xF0\xF4/\xFF\r\n[S]\r\nk=new\r\nn=\xE0.\r\n");
    QCOMPARE(favorites::writeProfileString(before, TextEncoding::Gb18030, QStringLiteral("S"), QStringLiteral("k"),
                                           QStringLiteral("new")),
             after);
    QCOMPARE(favorites::readProfileString(after, TextEncoding::Gb18030, QStringLiteral("S"), QStringLiteral("k")),
             QStringLiteral("new"));
}

void TestProfileString::readBytesSectionWithBracketTrailByte()
{
    // In GB18030 the character 0x81 0x5D has ']' as its second byte; the name must not end there.
    QStringDecoder decoder("GB18030");
    const QString name = decoder.decode(QByteArray("\x81\x5D"
                                                   "x"));
    QCOMPARE(name.size(), 2);
    const QByteArray bytes("[\x81\x5Dx]\r\nk=v\r\n[\x81]\r\nk=w\r\n");
    QCOMPARE(favorites::readProfileString(bytes, TextEncoding::Gb18030, name, QStringLiteral("k")),
             QStringLiteral("v"));
    QCOMPARE(
        favorites::writeProfileString(bytes, TextEncoding::Gb18030, name, QStringLiteral("k"), QStringLiteral("z")),
        QByteArray("[\x81\x5Dx]\r\nk=z\r\n[\x81]\r\nk=w\r\n"));
}

void TestProfileString::writeUtf8BomKept()
{
    const QByteArray before("\xEF\xBB\xBF[S]\nk=old\n");
    const QByteArray written = favorites::writeProfileString(before, TextEncoding::System, QStringLiteral("S"),
                                                             QStringLiteral("k"), QStringLiteral("new"));
    QCOMPARE(written, QByteArray("\xEF\xBB\xBF[S]\nk=new\r\n"));
}

void TestProfileString::utf16MarkPassedOverOnce()
{
    const auto utf16 = [](const QString& text) {
        return QByteArray("\xFF\xFE", 2) +
               QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * qsizetype(sizeof(char16_t)));
    };
    const QString s = QStringLiteral("S");
    const QString k = QStringLiteral("k");

    // The file's mark is written back once, not doubled or dropped.
    const QByteArray before = utf16(QStringLiteral("[S]\r\nk=old\r\n"));
    QCOMPARE(favorites::writeProfileString(before, TextEncoding::Utf16Le, s, k, QStringLiteral("new")),
             utf16(QStringLiteral("[S]\r\nk=new\r\n")));

    // A second mark belongs to the first line, as with the other encodings: that header is not one, and every write
    // keeps the second mark where it is.
    const QByteArray twice = utf16(QChar(0xFEFF) + QStringLiteral("[S]\r\nk=old\r\n"));
    QCOMPARE(favorites::readProfileString(twice, TextEncoding::Utf16Le, s, k, QStringLiteral("<none>")),
             QStringLiteral("<none>"));
    const QByteArray written = favorites::writeProfileString(twice, TextEncoding::Utf16Le, s, k, QStringLiteral("v"));
    QVERIFY(written.startsWith(utf16(QChar(0xFEFF) + QStringLiteral("[S]\r\nk=old\r\n"))));
    QCOMPARE(favorites::writeProfileString(written, TextEncoding::Utf16Le, s, k, QStringLiteral("v")), written);
    QCOMPARE(favorites::readProfileString(written, TextEncoding::Utf16Le, s, k), QStringLiteral("v"));
}

QTEST_GUILESS_MAIN(TestProfileString)
#include "tst_profilestring.moc"
