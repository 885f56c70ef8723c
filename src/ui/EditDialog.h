#pragma once

#include <QDialog>

#include "jobs/AppState.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace ui
{

/// The dialog "修改" that changes one favorite's folder, name and address: those of the table row it is given.
/// "修改" applies and closes; "取消" or the close box close it and change nothing. When the apply fails,
/// a message says why and the dialog stays open.
class EditDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditDialog)

public:
    /// The dialog for table row `row` (1-based); a row the table does not hold shows empty boxes, and applying says so.
    EditDialog(jobs::AppState& state, int row, QWidget* parent = nullptr);

    int row() const { return m_row; }
    QComboBox* folderBox() const { return m_folderBox; }
    QLineEdit* nameBox() const { return m_nameBox; }
    QLineEdit* addressBox() const { return m_addressBox; }
    QPushButton* applyButton() const { return m_applyButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

public slots:
    /// Applies the edit and closes the dialog; when the apply fails, says why and stays open.
    void apply();

signals:
    /// The apply failed; the text says why (it is also shown in a message box).
    void applyFailed(const QString& reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillFromRow();

    jobs::AppState& m_state;
    const int m_row;
    QComboBox* m_folderBox = nullptr;
    QLineEdit* m_nameBox = nullptr;
    QLineEdit* m_addressBox = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace ui
