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

#include "jobs/FavoriteEdit.h"
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

EditDialog::EditDialog(jobs::AppState& state, int row, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_state(state), m_row(row)
{
    setWindowTitle(QStringLiteral("修改"));
    setAccessibleName(QStringLiteral("修改"));
    setFont(songTi(10.5));
    setFixedSize(twipsToPixels(6030), twipsToPixels(2355));
    setModal(true);

    // Each box with the label that names it; the boxes take no length limit.
    const auto addLabel = [this](const QString& text, const QRect& geometry, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setGeometry(geometry);
        label->setBuddy(buddy);
        buddy->setAccessibleName(text);
    };
    m_folderBox = new QComboBox(this);
    m_folderBox->setEditable(true);
    m_folderBox->setInsertPolicy(QComboBox::NoInsert);
    m_folderBox->setGeometry(twips(840, 120, 5055, 330));
    addLabel(QStringLiteral("目录"), twips(120, 120, 615, 255), m_folderBox);
    m_nameBox = new QLineEdit(this);
    m_nameBox->setGeometry(twips(840, 600, 5055, 375));
    m_nameBox->setMaxLength(std::numeric_limits<int>::max());
    addLabel(QStringLiteral("名称"), twips(120, 600, 495, 255), m_nameBox);
    m_addressBox = new QLineEdit(this);
    m_addressBox->setGeometry(twips(840, 1080, 5055, 375));
    m_addressBox->setMaxLength(std::numeric_limits<int>::max());
    addLabel(QStringLiteral("地址"), twips(120, 1080, 495, 375), m_addressBox);

    m_applyButton = new QPushButton(QStringLiteral("修改"), this);
    m_applyButton->setGeometry(twips(1320, 1680, 1215, 495));
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setGeometry(twips(3480, 1680, 1215, 495));
    // Neither button is pressed by Enter or Esc.
    for (QPushButton* button : {m_applyButton, m_cancelButton}) {
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(m_applyButton, &QPushButton::clicked, this, &EditDialog::apply);
    connect(m_cancelButton, &QPushButton::clicked, this, &EditDialog::reject);

    setTabOrder(m_folderBox, m_nameBox);
    setTabOrder(m_nameBox, m_addressBox);
    setTabOrder(m_addressBox, m_applyButton);
    setTabOrder(m_applyButton, m_cancelButton);
    fillFromRow();

    // Centred on the screen, not over the main window.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(centredTopLeft(size(), screen->availableGeometry()));
}

void EditDialog::fillFromRow()
{
    const favorites::Catalogue& cat = m_state.catalogue;
    m_folderBox->clear();
    m_folderBox->addItem(QString());
    for (int i = 1; i <= cat.folderCount; ++i)
        m_folderBox->addItem(cat.folderList.at(i).mid(cat.favPath.size()));
    const table::LinkTable& t = m_state.table;
    const bool held = t.hasRow(m_row);
    m_folderBox->setEditText(held ? t.rowFolder(m_row) : QString());
    m_nameBox->setText(held ? table::displayName(t.fileName(m_row)) : QString());
    m_addressBox->setText(held ? t.rowUrl(m_row) : QString());
}

void EditDialog::apply()
{
    const jobs::FavoriteEdit edit{m_folderBox->currentText(), m_nameBox->text(), m_addressBox->text()};
    platform::Failure failure;
    if (jobs::applyFavoriteEdit(m_state, m_row, edit, &failure)) {
        accept();
        return;
    }
    const QString reason = failureText(failure);
    emit applyFailed(reason);
    QMessageBox::warning(this, QStringLiteral("修改"), QStringLiteral("修改收藏失败：") + reason);
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
