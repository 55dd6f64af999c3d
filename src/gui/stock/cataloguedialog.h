#pragma once

#include "shop/shop.h"
#include <QDialog>

#include <optional>

class QComboBox;
class MinimumStockBox;
class WeighedBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class CatalogueList;

// frmhuoming "货名管理": the goods catalogue (table name) and the pick list of
// goods names (table kuaijie). Codes are added, names changed, goods deleted
// unless purchases or sales refer to them.
class CatalogueDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CatalogueDialog(Shop shop, QWidget *parent = nullptr);

    CatalogueList *catalogue() const { return m_catalogue; }
    bool isEditing() const { return m_editing; }

    // Commands, as the buttons run them.
    void addGoods();
    void clearAddGroup();
    void startRename();
    void cancelRename();
    void saveRename();
    void deleteGoods();
    void addPickName();
    void removePickName();

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildControls();
    void fillPickList(const QStringList &names);
    void showCurrent();
    // The grid's current row, -1 for none; select() makes a row current (none when it is not there).
    int currentRow() const;
    void select(int row);
    void setEditMode(bool on);
    // Re-reads the catalogue (when the file changed) and stays on the goods that were selected.
    void reread();
    void failed(const QString &error);

    Shop m_shop;
    QString m_rereadFailure; // told already; not again until a read succeeds
    MinimumStockBox *m_minimum = nullptr;
    WeighedBox *m_weighed = nullptr;
    CatalogueList *m_catalogue;
    bool m_editing = false;
    QString m_readAt; // the file's change stamp when the catalogue was read
    QString m_nameBeforeEdit;

    QLineEdit *m_codeEdit;
    QComboBox *m_nameCombo;
    QPushButton *m_addButton;
    QPushButton *m_clearButton;
    QLineEdit *m_selectedCode;
    QLineEdit *m_selectedName;
    QPushButton *m_renameButton;
    QPushButton *m_cancelRenameButton;
    QPushButton *m_saveRenameButton;
    QPushButton *m_deleteButton;
    QTableView *m_grid;
    QLabel *m_pickListHeading;
    QPushButton *m_addPickButton;
    QPushButton *m_removePickButton;
};
