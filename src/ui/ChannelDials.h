#pragma once

#include <functional>
#include <vector>

#include <QPixmap>
#include <QRect>
#include <QVector>

class QLabel;
class QWidget;

namespace ui
{

/// One dial per probe channel under the grid: the picture of how far its request has come, named for screen
/// readers "探测通道 n" and described as idle or checking. The window places them by its layout rule.
class ChannelDials
{
public:
    /// Dials on parent, which owns their widgets; none yet.
    explicit ChannelDials(QWidget* parent);

    /// Makes the dials `count`, a new dial of channel i showing picture pictureOf(i); the ones beyond go.
    void setCount(int count, const std::function<int(int channel)>& pictureOf);
    /// Channel i's dial shows picture 1..12 (dialPictures); nothing for a channel or picture out of range.
    void show(int channel, int picture);
    /// Puts the dials at these places (pixels of the parent), one per channel in channel order.
    void place(const QVector<QRect>& geometries);

    int count() const { return int(m_dials.size()); }
    /// The dial of channel i (0-based); null for none.
    QLabel* dial(int channel) const;

private:
    QWidget* m_parent;
    QVector<QPixmap> m_pictures; // 1..12, element 0 unused
    std::vector<QLabel*> m_dials;
};

} // namespace ui
