#pragma once

#include <QDialog>
#include <QVector>

class QLabel;
class QPushButton;

namespace ui
{

/// The about box: the program's name and edition, the maker's information lines and a picture. Fixed size, no
/// caption. It closes on its button and on any key press, also while the button has the keyboard focus
/// (a lone modifier key such as Shift does not count as a key press).
class AboutBox : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    explicit AboutBox(QWidget* parent = nullptr);

    /// Creates an about box, shows it modally over parent and discards it once it is closed.
    static void showAbout(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key event should close the box; consumes it then.
    bool closeOnKey(QKeyEvent* event);

    QLabel* m_title = nullptr;
    QVector<QLabel*> m_infoLines; // indexed 1 to 5 like the label array; element 0 is unused (null)
    QLabel* m_picture = nullptr;
    QPushButton* m_closeButton = nullptr;
};

} // namespace ui
