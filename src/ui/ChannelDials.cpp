#include "ui/ChannelDials.h"

#include <QLabel>

#include "ui/Artwork.h"

namespace ui
{

ChannelDials::ChannelDials(QWidget* parent) : m_parent(parent), m_pictures(dialPictures(parent->devicePixelRatioF())) {}

void ChannelDials::setCount(int count, const std::function<int(int channel)>& pictureOf)
{
    while (int(m_dials.size()) > count) {
        delete m_dials.back();
        m_dials.pop_back();
    }
    while (int(m_dials.size()) < count) {
        const int channel = int(m_dials.size());
        auto* label = new QLabel(m_parent);
        label->setObjectName(QStringLiteral("channelDial%1").arg(channel));
        label->setAccessibleName(QStringLiteral("探测通道 %1").arg(channel + 1));
        label->setAlignment(Qt::AlignCenter);
        m_dials.push_back(label);
        show(channel, pictureOf(channel));
        label->show();
    }
}

void ChannelDials::show(int channel, int picture)
{
    QLabel* label = dial(channel);
    if (!label || picture < 1 || picture >= m_pictures.size())
        return;
    label->setPixmap(m_pictures.at(picture));
    label->setAccessibleDescription(picture == IdleDialPicture ? QStringLiteral("空闲") : QStringLiteral("正在检测"));
}

void ChannelDials::place(const QVector<QRect>& geometries)
{
    for (int i = 0; i < count() && i < geometries.size(); ++i)
        m_dials.at(std::size_t(i))->setGeometry(geometries.at(i));
}

QLabel* ChannelDials::dial(int channel) const
{
    return channel >= 0 && channel < count() ? m_dials.at(std::size_t(channel)) : nullptr;
}

} // namespace ui
