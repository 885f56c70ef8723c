#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "support/ChildRun.h"
#include "support/WindowFixture.h"
#include "ui/AboutBox.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"

namespace
{

struct Snapshot
{
    QStringList texts;
    QList<QRect> geometries;
    QSize size;
    QImage picture;

    bool operator==(const Snapshot& other) const
    {
        return texts == other.texts && geometries == other.geometries && size == other.size && picture == other.picture;
    }
};

Snapshot snapshot(QWidget* box)
{
    Snapshot shot;
    shot.size = box->size();
    for (const QString& name : {QStringLiteral("titleLabel"), QStringLiteral("infoLine1"), QStringLiteral("infoLine2"),
                                QStringLiteral("infoLine3"), QStringLiteral("infoLine5"), QStringLiteral("infoLine4"),
                                QStringLiteral("picture")}) {
        auto* label = box->findChild<QLabel*>(name);
        shot.texts.append(label ? label->text() : QStringLiteral("<missing %1>").arg(name));
        shot.geometries.append(label ? label->geometry() : QRect());
        if (label && name == QLatin1String("picture"))
            shot.picture = label->pixmap().toImage();
    }
    auto* button = box->findChild<QPushButton*>(QStringLiteral("closeButton"));
    shot.texts.append(button ? button->text() : QStringLiteral("<missing closeButton>"));
    shot.geometries.append(button ? button->geometry() : QRect());
    return shot;
}

// Runs the about box modally; while it is up, inspects it and then acts on it. Returns false when the action did
// not close it (it is then closed here, so the test goes on).
bool runModal(const std::function<void(ui::AboutBox*)>& act, Snapshot* seen, QPointer<ui::AboutBox>* box)
{
    bool closed = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ui::AboutBox*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *box = dialog;
        *seen = snapshot(dialog);
        act(dialog);
        closed = !dialog->isVisible();
        if (!closed)
            dialog->reject();
    });
    ui::AboutBox::showAbout(nullptr);
    return closed;
}

} // namespace

class TestAboutBox : public QObject
{
    Q_OBJECT

private slots:
    void textsAreExact();
    void everythingShowsWholeAndInPlace();
    void dialogProperties();
    void coloursAndFonts();
    void onlyTheButtonTakesFocus();
    void accessibleNames();
    void closesOnButtonClick();
    void closesOnAnyKey_data();
    void closesOnAnyKey();
    void closesOnTextOnlyKey();
    void modifierAloneDoesNotClose();
    void modalShowingClosesAndDiscards();
    void secondShowingHasSameContent();
};

void TestAboutBox::textsAreExact()
{
    ui::AboutBox box;
    QCOMPARE(box.windowTitle(), QString());
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("titleLabel"))->text(), QStringLiteral("Tessaly(2005版)"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine1"))->text(), QStringLiteral("作者：泰萨利组"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine2"))->text(), QStringLiteral("日期：2026-12-07"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine3"))->text(), QStringLiteral("邮箱：dev@tessaly.test"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine4"))->text(), QStringLiteral("出品：Tessaly 开发组"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine5"))->text(), QStringLiteral("网址：tessaly.test"));
    QCOMPARE(box.findChild<QPushButton*>(QStringLiteral("closeButton"))->text(), QStringLiteral("关闭窗口"));
    // Shown as typed, never taken for markup.
    for (QLabel* label : box.findChildren<QLabel*>())
        if (label->objectName() != QLatin1String("picture"))
            QCOMPARE(label->textFormat(), Qt::PlainText);
}

// What the box shows: every text whole and nothing overlapping, with whichever stand-in for 宋体 is installed; the
// title on top, the information lines in a column at the left edge, evenly spaced in their order, the picture to
// their right and the button under it at the right.
void TestAboutBox::everythingShowsWholeAndInPlace()
{
    if (testsupport::isChildRun())
        QCOMPARE(ui::songTiFamilies().value(0), testsupport::childRunValue());
    ui::AboutBox box;
    const QStringList faults = testsupport::cutOffTexts(&box) + testsupport::overlappingChildren(&box);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));

    const auto at = [&box](const char* name) { return box.findChild<QWidget*>(QLatin1String(name))->geometry(); };
    const QRect title = at("titleLabel");
    const QRect picture = at("picture");
    const QRect button = at("closeButton");
    const QList<QRect> lines{at("infoLine1"), at("infoLine2"), at("infoLine3"), at("infoLine5"), at("infoLine4")};
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY(lines.at(i).top() > title.bottom());
        QCOMPARE(lines.at(i).left(), lines.first().left());
        QVERIFY(lines.at(i).left() < picture.left());
        if (i > 0)
            QVERIFY(qAbs((lines.at(i).top() - lines.at(i - 1).top()) - (lines.at(1).top() - lines.at(0).top())) <= 1);
    }
    QVERIFY(lines.first().left() < box.width() / 10);
    QVERIFY(lines.last().top() > lines.first().top());
    QVERIFY(picture.top() > title.bottom());
    QVERIFY(picture.center().x() > box.width() / 2);
    QVERIFY(button.top() > picture.bottom());
    QVERIFY(button.center().x() > picture.center().x());

    if (!testsupport::isChildRun()) {
        const QStringList others =
            testsupport::rerunWithOtherStandIns(QStringLiteral("everythingShowsWholeAndInPlace"));
        QVERIFY2(others.isEmpty(), qPrintable(others.join(u'\n')));
    }
}

void TestAboutBox::dialogProperties()
{
    ui::AboutBox box;
    QCOMPARE(box.size(), QSize(489, 186));
    QCOMPARE(box.minimumSize(), QSize(489, 186));
    QCOMPARE(box.maximumSize(), QSize(489, 186));
    QVERIFY(!box.isSizeGripEnabled());
    const Qt::WindowFlags flags = box.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);

    auto* image = box.findChild<QLabel*>(QStringLiteral("picture"));
    QCOMPARE(image->pixmap().deviceIndependentSize(), QSizeF(300, 95));
    QVERIFY(!image->hasScaledContents());
    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    QCOMPARE(image->pixmap().toImage().convertToFormat(premultiplied),
             ui::aboutPicture(image->pixmap().devicePixelRatio()).toImage().convertToFormat(premultiplied));
}

void TestAboutBox::coloursAndFonts()
{
    ui::AboutBox box;
    QCOMPARE(box.palette().color(QPalette::Window), QColor(0xFF, 0x80, 0x80));
    QVERIFY(box.autoFillBackground());
    QCOMPARE(box.font().pointSizeF(), 10.5);
    QVERIFY(box.font().bold());

    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->objectName() == QLatin1String("picture"))
            continue;
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0xC0, 0x00, 0x00));
        QVERIFY(!label->autoFillBackground());
        QVERIFY(label->font().bold());
        const qreal expected = label->objectName() == QLatin1String("titleLabel") ? 14.25 : 10.5;
        QCOMPARE(label->font().pointSizeF(), expected);
    }
    auto* button = box.findChild<QPushButton*>(QStringLiteral("closeButton"));
    QCOMPARE(button->font().pointSizeF(), 10.5);
    QVERIFY(button->font().bold());

    // What is painted: the background colour, and dark red text on it.
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QImage shot = box.grab().toImage();
    QCOMPARE(QColor(shot.pixel(2, 2)), QColor(0xFF, 0x80, 0x80));
    const QRect line = box.findChild<QLabel*>(QStringLiteral("infoLine2"))->geometry();
    int dark = 0;
    for (int y = line.top(); y <= line.bottom(); ++y)
        for (int x = line.left(); x <= line.right(); ++x) {
            const QColor c(shot.pixel(x, y));
            dark += c.red() > 150 && c.red() < 0xE0 && c.green() < 0x40 && c.blue() < 0x40;
        }
    QVERIFY(dark > 20);
}

void TestAboutBox::onlyTheButtonTakesFocus()
{
    ui::AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* button = box.findChild<QPushButton*>(QStringLiteral("closeButton"));
    for (QWidget* child : box.findChildren<QWidget*>()) {
        if (child == button)
            QVERIFY(child->focusPolicy() & Qt::TabFocus);
        else
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(box.focusWidget(), button);
}

void TestAboutBox::accessibleNames()
{
    ui::AboutBox box;
    QVERIFY(!box.accessibleName().isEmpty());
    const QList<QWidget*> children = box.findChildren<QWidget*>();
    QCOMPARE(children.size(), 8);
    for (QWidget* child : children)
        QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("infoLine2"))->accessibleName(), QStringLiteral("日期：2026-12-07"));
    QCOMPARE(box.findChild<QPushButton*>(QStringLiteral("closeButton"))->accessibleName(), QStringLiteral("关闭窗口"));
}

void TestAboutBox::closesOnButtonClick()
{
    ui::AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

void TestAboutBox::closesOnAnyKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("toButton");

    const QList<QPair<const char*, int>> keys = {
        {"letter", Qt::Key_A},    {"digit", Qt::Key_7},       {"Escape", Qt::Key_Escape}, {"Return", Qt::Key_Return},
        {"Enter", Qt::Key_Enter}, {"space", Qt::Key_Space},   {"Tab", Qt::Key_Tab},       {"F1", Qt::Key_F1},
        {"arrow", Qt::Key_Left},  {"Delete", Qt::Key_Delete},
    };
    for (const auto& [name, key] : keys) {
        QTest::addRow("%s to the box", name) << key << false;
        QTest::addRow("%s to the focused button", name) << key << true;
    }
}

void TestAboutBox::closesOnAnyKey()
{
    QFETCH(int, key);
    QFETCH(bool, toButton);

    ui::AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* button = box.findChild<QPushButton*>(QStringLiteral("closeButton"));
    QCOMPARE(box.focusWidget(), button);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::keyPress(toButton ? static_cast<QWidget*>(button) : static_cast<QWidget*>(&box), Qt::Key(key));
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
    // The key closed the box itself; the button did not get it.
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!button->isDown());
}

void TestAboutBox::closesOnTextOnlyKey()
{
    // A character typed through an input method comes without a key code.
    ui::AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::sendKeyEvent(QTest::Press, box.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::Key_unknown,
                        QStringLiteral("中"), Qt::NoModifier);
    QVERIFY(!box.isVisible());
}

void TestAboutBox::modifierAloneDoesNotClose()
{
    ui::AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* button = box.findChild<QPushButton*>(QStringLiteral("closeButton"));
    for (Qt::Key key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta, Qt::Key_CapsLock}) {
        QTest::keyPress(button, key);
        QTest::keyRelease(button, key);
        QVERIFY(box.isVisible());
    }
    // The key that follows the modifier closes it.
    QTest::keyClick(button, Qt::Key_X, Qt::ShiftModifier);
    QVERIFY(!box.isVisible());
}

void TestAboutBox::modalShowingClosesAndDiscards()
{
    Snapshot seen;
    QPointer<ui::AboutBox> box;
    const bool closedByClick = runModal(
        [](ui::AboutBox* dialog) {
            QVERIFY(dialog->isModal());
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
        },
        &seen, &box);
    QVERIFY(closedByClick);
    QVERIFY(box.isNull()); // discarded once closed
    QVERIFY(!QApplication::activeModalWidget());

    const bool closedByKey =
        runModal([](ui::AboutBox* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Q); }, &seen, &box);
    QVERIFY(closedByKey);
    QVERIFY(box.isNull());
}

void TestAboutBox::secondShowingHasSameContent()
{
    Snapshot first, second;
    QPointer<ui::AboutBox> box;
    auto click = [](ui::AboutBox* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    };
    QVERIFY(runModal(click, &first, &box));
    QVERIFY(runModal(click, &second, &box));
    QCOMPARE(first.texts.size(), 8);
    QVERIFY(!first.texts.join(QString()).contains(QLatin1String("<missing")));
    QVERIFY(!first.picture.isNull());
    QVERIFY(first == second);
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
