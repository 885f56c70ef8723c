#include "ui/BusyNotice.h"

#include <QLabel>
#include <QLocale>

#include "ui/Fonts.h"
#include "ui/FormLayout.h"

namespace ui
{

BusyNotice::BusyNotice(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("busyNotice"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0xFF, 0xFF));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x80));
    setPalette(pal);
    m_text = new QLabel(progressText(jobs::LongWork::Load, 0, 0), this);
    m_text->setObjectName(QStringLiteral("busyText"));
    m_text->setAccessibleName(m_text->text());
    m_text->setAccessibleDescription(QStringLiteral("忙碌提示"));
    m_text->setFont(songTi(10.5, true));
    QRect geometry = twipsToPixels(QRect(960, 300, 3135, 255));
    m_designedTextWidth = geometry.width();
    geometry.setHeight(qMax(geometry.height(), m_text->sizeHint().height()));
    m_text->setGeometry(geometry);
    fitText();
    hide();
}

QString BusyNotice::progressText(jobs::LongWork kind, int done, int total)
{
    if (total <= 0)
        return QStringLiteral("正在处理数据，请稍候......");
    QString what;
    switch (kind) {
    case jobs::LongWork::Load:
        what = QStringLiteral("正在读取收藏夹");
        break;
    case jobs::LongWork::DeleteDead:
        what = QStringLiteral("正在删除收藏夹无效地址");
        break;
    case jobs::LongWork::Backup:
        what = QStringLiteral("正在备份收藏夹");
        break;
    case jobs::LongWork::Restore:
        what = QStringLiteral("正在还原收藏夹");
        break;
    }
    // Figures as the program's Chinese users write them: 1,234 / 20,000.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    return QStringLiteral("%1…… %2 / %3").arg(what, chinese.toString(qBound(0, done, total)), chinese.toString(total));
}

void BusyNotice::showProgress(jobs::LongWork kind, int done, int total)
{
    const QString text = progressText(kind, done, total);
    if (text == m_text->text())
        return;
    m_text->setText(text);
    m_text->setAccessibleName(text);
    fitText();
}

void BusyNotice::place(const QRect& geometry)
{
    setGeometry(geometry);
    fitText();
}

void BusyNotice::fitText()
{
    // The text keeps its place in the notice and grows as it needs; the notice grows with it, around its centre,
    // keeping as much room to the text's right as to its left.
    m_text->resize(qMax(m_designedTextWidth, m_text->sizeHint().width()), m_text->height());
    QRect frame = geometry();
    if (frame.isEmpty()) // a minimized window
        return;
    const int needed = m_text->geometry().right() + 1 + m_text->x();
    if (needed > frame.width()) {
        const int more = needed - frame.width();
        frame.adjust(-more / 2, 0, more - more / 2, 0);
        setGeometry(frame);
    }
}

} // namespace ui
