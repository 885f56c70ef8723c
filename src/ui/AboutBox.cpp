#include "ui/AboutBox.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/FormLayout.h"

namespace ui
{

namespace
{

const QColor background(0xFF, 0x80, 0x80);
const QColor labelText(0xC0, 0x00, 0x00);

struct InfoLine
{
    int index;
    QRect twips;
    const char* text;
};

// Top to bottom; the array index of each line is the one the rest of the program knows it by.
const InfoLine infoLines[] = {
    {1, QRect(120, 840, 1575, 255), "作者：泰萨利组"},          {2, QRect(120, 1200, 2175, 255), "日期：2026-12-07"},
    {3, QRect(120, 1560, 2535, 255), "邮箱：dev@tessaly.test"}, {5, QRect(120, 1920, 2295, 255), "网址：tessaly.test"},
    {4, QRect(120, 2280, 2775, 255), "出品：Tessaly 开发组"},
};

bool isLoneModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& twips)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(twipsToPixels(twips));
    label->setAccessibleName(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, labelText);
    label->setPalette(palette);
    return label;
}

} // namespace

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QString());
    setAccessibleName(QStringLiteral("关于软件"));
    setModal(true);
    setFixedSize(twipsToPixels(7335), twipsToPixels(2790));
    setSizeGripEnabled(false);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, background);
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(songTi(10.5, true));

    m_title =
        makeLabel(this, QStringLiteral("titleLabel"), QStringLiteral("Tessaly(2005版)"), QRect(1560, 120, 4095, 375));
    m_title->setFont(songTi(14.25, true));

    m_infoLines.fill(nullptr, 6);
    for (const InfoLine& line : infoLines) {
        m_infoLines[line.index] =
            makeLabel(this, QStringLiteral("infoLine%1").arg(line.index), QString::fromUtf8(line.text), line.twips);
    }

    // Where 宋体 is missing, the substitute font may be taller than the label; the text must not be cut.
    for (QLabel* label : findChildren<QLabel*>())
        label->resize(label->width(), std::max(label->height(), label->fontMetrics().height()));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setPixmap(aboutPicture(devicePixelRatioF()));
    m_picture->setGeometry(twipsToPixels(QRect(2760, 840, 4500, 1425)));
    m_picture->setAccessibleName(QStringLiteral("Tessaly 图标：地球与链接"));

    m_closeButton = new QPushButton(QStringLiteral("关闭窗口"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(twipsToPixels(QRect(5640, 2360, 1575, 375)));
    m_closeButton->setAccessibleName(QStringLiteral("关闭窗口"));
    m_closeButton->setFocusPolicy(Qt::StrongFocus);
    m_closeButton->setFocus();
    // The button would act on Space and Enter itself; every key is the box's to handle.
    m_closeButton->installEventFilter(this);
    connect(m_closeButton, &QPushButton::clicked, this, &AboutBox::accept);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
}

void AboutBox::showAbout(QWidget* parent)
{
    AboutBox box(parent);
    box.exec();
}

void AboutBox::keyPressEvent(QKeyEvent* event)
{
    if (!closeOnKey(event))
        QDialog::keyPressEvent(event);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_closeButton) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Claims the key from any application-wide shortcut, so that it arrives as a key press.
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            if (!isLoneModifier(keyEvent->key())) {
                event->accept();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            if (closeOnKey(static_cast<QKeyEvent*>(event)))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool AboutBox::closeOnKey(QKeyEvent* event)
{
    if (isLoneModifier(event->key()))
        return false;
    event->accept();
    accept();
    return true;
}

} // namespace ui
