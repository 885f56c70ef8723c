#include "ui/EditDialog.h"

#include <limits>

#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "table/FavoriteEdit.h"
#include "table/Loader.h"
#include "ui/FailureText.h"
#include "ui/FormLayout.h"
#include "ui/Fonts.h"

namespace ui
{

namespace
{

QRect twips(int left, int top, int width, int height)
{
    return twipsToPixels(QRect(left, top, width, height));
}

} // namespace

EditDialog::EditDialog(table::AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_state(state)
{
    setWindowTitle(QStringLiteral("修改"));
    setAccessibleName(QStringLiteral("修改"));
    setFont(songTi(10.5));
    setFixedSize(twipsToPixels(6030), twipsToPixels(2355));
    setModal(true);

    m_label1 = new QLabel(QStringLiteral("目录"), this);
    m_label1->setGeometry(twips(120, 120, 615, 255));
    m_combo1 = new QComboBox(this);
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setGeometry(twips(840, 120, 5055, 330));
    m_combo1->setAccessibleName(QStringLiteral("目录"));
    m_label1->setBuddy(m_combo1);

    m_label2 = new QLabel(QStringLiteral("名称"), this);
    m_label2->setGeometry(twips(120, 600, 495, 255));
    m_text1 = new QLineEdit(this);
    m_text1->setGeometry(twips(840, 600, 5055, 375));
    m_text1->setMaxLength(std::numeric_limits<int>::max());
    m_text1->setAccessibleName(QStringLiteral("名称"));
    m_label2->setBuddy(m_text1);

    m_label3 = new QLabel(QStringLiteral("地址"), this);
    m_label3->setGeometry(twips(120, 1080, 495, 375));
    m_text2 = new QLineEdit(this);
    m_text2->setGeometry(twips(840, 1080, 5055, 375));
    m_text2->setMaxLength(std::numeric_limits<int>::max());
    m_text2->setAccessibleName(QStringLiteral("地址"));
    m_label3->setBuddy(m_text2);

    m_command1 = new QPushButton(QStringLiteral("修改"), this);
    m_command1->setGeometry(twips(1320, 1680, 1215, 495));
    m_command1->setAccessibleName(QStringLiteral("修改"));
    m_command2 = new QPushButton(QStringLiteral("取消"), this);
    m_command2->setGeometry(twips(3480, 1680, 1215, 495));
    m_command2->setAccessibleName(QStringLiteral("取消"));
    // Neither button is pressed by Enter or Esc.
    for (QPushButton* button : {m_command1, m_command2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(m_command1, &QPushButton::clicked, this, &EditDialog::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &EditDialog::Command2_Click);

    setTabOrder(m_combo1, m_text1);
    setTabOrder(m_text1, m_text2);
    setTabOrder(m_text2, m_command1);
    setTabOrder(m_command1, m_command2);
    Form_Load();

    // Centred on the screen, not over the main window.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(centredTopLeft(size(), screen->availableGeometry()));
}

void EditDialog::Form_Load()
{
    const int row = m_state.editRow;
    const favorites::Catalogue& cat = m_state.catalogue;
    m_combo1->clear();
    m_combo1->addItem(QString());
    for (int i = 1; i <= cat.folderCount; ++i)
        m_combo1->addItem(cat.folderList.at(i).mid(cat.favPath.size()));
    // A row the table does not hold shows empty boxes; applying then says so.
    const table::LinkTable& t = m_state.table;
    m_combo1->setEditText(t.hasRow(row) ? t.rowFolder(row) : QString());
    m_text1->setText(t.hasRow(row) ? table::displayName(t.fileName(row)) : QString());
    m_text2->setText(t.hasRow(row) ? t.rowUrl(row) : QString());
}

void EditDialog::Command1_Click()
{
    const table::FavoriteEdit edit{m_combo1->currentText(), m_text1->text(), m_text2->text()};
    platform::Failure failure;
    if (table::applyFavoriteEdit(m_state, m_state.editRow, edit, &failure)) {
        accept();
        return;
    }
    const QString reason = failureText(failure);
    emit applyFailed(reason);
    QMessageBox::warning(this, QStringLiteral("修改"), QStringLiteral("修改收藏失败：") + reason);
}

void EditDialog::Command2_Click()
{
    reject();
}

void EditDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc does not close the dialog and Enter does not press a button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ui
