#pragma once

#include <QDialog>

#include "table/AppState.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui
{

/// The dialog "修改" that changes one favorite's folder, name and address (the row in state.editRow).
/// "修改" applies and closes; "取消" or the close box close it and change nothing. When the apply fails,
/// a message says why and the dialog stays open.
class EditDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditDialog)

public:
    explicit EditDialog(table::AppState& state, QWidget* parent = nullptr);

    QComboBox* folderBox() const { return m_combo1; }
    QLineEdit* nameBox() const { return m_text1; }
    QLineEdit* addressBox() const { return m_text2; }
    QPushButton* applyButton() const { return m_command1; }
    QPushButton* cancelButton() const { return m_command2; }

public slots:
    void Command1_Click();
    void Command2_Click();

signals:
    /// The apply failed; the text says why (it is also shown in a message box).
    void applyFailed(const QString& reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();

    table::AppState& m_state;
    QLabel* m_label1 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLabel* m_label3 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
};

} // namespace ui
