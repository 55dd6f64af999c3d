#include "gui/stock/cataloguedialog.h"
#include "gui/stock/minimumstockbox.h"
#include "gui/stock/weighedbox.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/cataloguelist.h"
#include "shop/database.h"
#include "shop/goodscatalogue.h"
#include "shop/picklist.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString Caption = QStringLiteral("货名管理");
const QString DuplicateCode = QStringLiteral("该货物代码已经存在，请重新输入！");
const QString EmptyName = QStringLiteral("货名不能为空，请重新输入！");
const QString HasPurchases = QStringLiteral("该商品有进货数据，不能删除！");
const QString HasSales = QStringLiteral("该商品有销售数据，不能删除！");
const QString HasBoth = QStringLiteral("该商品有进货和销售数据，不能删除！");
const QString PickAdded = QStringLiteral("添加成功！");
const QString PickRemoved = QStringLiteral("删除成功！");
const QString NoSuchPickName = QStringLiteral("没有这个货名，请重新输入！");
const QString PickListFull = QStringLiteral("货名下拉菜单已满（编号已到 32767），不能再添加！");
const QString WriteFailed = QStringLiteral("货名数据未能保存：%1");
const QString ReadFailed = QStringLiteral("货名数据未能读取：%1");
} // namespace

CatalogueDialog::CatalogueDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmhuoming"));
    setWindowTitle(Caption);

    // The catalogue is read a page at a time as the grid scrolls; the pick
    // list is small and kept whole.
    m_catalogue = new CatalogueList(shop, this);
    m_catalogue->setObjectName(QStringLiteral("Adodc1"));
    const Result<QStringList> pickNames = PickList::names(shop);
    if (!m_catalogue->reload()) {
        m_rereadFailure = m_catalogue->lastError();
        Messages::error(this, ReadFailed.arg(m_rereadFailure));
    } else if (!pickNames)
        Messages::error(this, ReadFailed.arg(pickNames.errorText()));
    else
        m_readAt = shop.changeStamp();

    buildControls();
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showCurrent(); });
    fillPickList(pickNames.valueOr(QStringList()));
    setEditMode(false);
    select(0);
}

void CatalogueDialog::failed(const QString &error)
{
    Messages::error(this, WriteFailed.arg(error));
}

void CatalogueDialog::fillPickList(const QStringList &names)
{
    // The pick list in table order, duplicates included.
    m_nameCombo->clear();
    m_nameCombo->addItems(names);
    m_nameCombo->setCurrentIndex(-1);
    m_nameCombo->setEditText(QString());
}

int CatalogueDialog::currentRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() && m_catalogue->rowAt(current.row()) ? current.row() : -1;
}

void CatalogueDialog::select(int row)
{
    if (m_catalogue->rowAt(row))
        m_grid->selectionModel()->setCurrentIndex(m_catalogue->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        m_grid->selectionModel()->clear();
    showCurrent();
}

void CatalogueDialog::showCurrent()
{
    const auto row = m_catalogue->rowAt(currentRow());
    m_selectedCode->setText(row ? row->code : QString());
    m_selectedName->setText(row ? row->name : QString());
    m_minimum->setCode(row ? row->code : QString());
    m_weighed->setCode(row ? row->code : QString());
}

void CatalogueDialog::setEditMode(bool on)
{
    m_editing = on;
    m_addButton->setEnabled(!on);
    m_renameButton->setEnabled(!on);
    // While a name is being edited nothing may move the catalogue off the
    // goods being renamed: neither the grid nor a delete.
    m_grid->setEnabled(!on);
    m_deleteButton->setEnabled(!on);
    m_cancelRenameButton->setEnabled(on);
    m_saveRenameButton->setEnabled(on);
    m_selectedName->setEnabled(on);
}

void CatalogueDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each activation shows the table as it now stands. While a name is being
    // edited the row is left alone: the edit is the user's to save or cancel.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_editing)
        reread();
}

void CatalogueDialog::reread()
{
    // Nothing written to the file since it was read: what is shown is the table.
    const QString stamp = m_shop.changeStamp();
    if (!stamp.isEmpty() && stamp == m_readAt)
        return;
    const auto selected = m_catalogue->rowAt(currentRow());
    if (!m_catalogue->reload()) {
        // Closing the message activates the screen again, which reads again:
        // the same failure is told once, not in an endless chain of boxes.
        const QString error = m_catalogue->lastError();
        if (error != m_rereadFailure) {
            m_rereadFailure = error;
            Messages::error(this, ReadFailed.arg(error));
        }
        return;
    }
    m_rereadFailure.clear();
    m_readAt = stamp;
    // Stay on the goods that were selected, when they are still there.
    const int row = selected ? m_catalogue->indexOf(selected->rowid) : -1;
    select(row >= 0 ? row : 0);
}

void CatalogueDialog::addGoods()
{
    // Blanks around a code are no part of it: a scanner never types them,
    // and "1001 " must find "1001" as the same goods.
    const QString code = m_codeEdit->text().trimmed();
    const QString name = m_nameCombo->currentText();
    if (code.isEmpty() || name.isEmpty())
        return;
    const GoodsCatalogue goods(m_shop);
    const auto known = goods.nameOf(code);
    if (!known) {
        failed(known.errorText());
        return;
    }
    if (*known) {
        Messages::info(this, DuplicateCode);
        m_codeEdit->clear();
        select(0);
        m_codeEdit->setFocus();
        return;
    }
    // The new goods are written at once: closing the screen or the program
    // right after adding loses nothing. They become the selected goods.
    if (!m_catalogue->add(code, name)) {
        failed(m_catalogue->lastError());
        return;
    }
    select(m_catalogue->rowCount() - 1);
}

void CatalogueDialog::clearAddGroup()
{
    m_codeEdit->clear();
    m_nameCombo->setCurrentIndex(-1);
    m_nameCombo->setEditText(QString());
}

void CatalogueDialog::startRename()
{
    // Only the goods shown in the boxes can be renamed.
    if (currentRow() < 0)
        return;
    setEditMode(true);
    m_selectedName->setFocus();
    m_nameBeforeEdit = m_selectedName->text();
}

void CatalogueDialog::cancelRename()
{
    // The typed name never reached the file: nothing at all is written.
    m_selectedName->setText(m_nameBeforeEdit);
    setEditMode(false);
}

void CatalogueDialog::hideEvent(QHideEvent *event)
{
    // Leaving the screen (close box or Esc) is no save: an open rename is cancelled.
    if (m_editing)
        cancelRename();
    QDialog::hideEvent(event);
}

void CatalogueDialog::saveRename()
{
    const QString name = m_selectedName->text();
    if (name.isEmpty()) {
        Messages::info(this, EmptyName);
        return;
    }
    const int row = currentRow();
    if (name != m_nameBeforeEdit && !m_catalogue->rename(row, name)) {
        failed(m_catalogue->lastError());
        return;
    }
    setEditMode(false);
}

void CatalogueDialog::deleteGoods()
{
    bool deleted = false;
    const int row = currentRow();
    if (const auto goods = m_catalogue->rowAt(row)) {
        const GoodsCatalogue catalogue(m_shop);
        const auto purchased = catalogue.isPurchased(goods->code);
        const auto sold = purchased ? catalogue.isSold(goods->code) : purchased;
        if (!purchased || !sold) {
            failed((purchased ? sold : purchased).errorText());
            return;
        }
        const int guard = (*purchased ? 1 : 0) + (*sold ? 2 : 0);
        switch (guard) {
        case 0:
            if (!m_catalogue->remove(row)) {
                failed(m_catalogue->lastError());
                return;
            }
            deleted = true;
            break;
        case 1:
            Messages::info(this, HasPurchases);
            break;
        case 2:
            Messages::info(this, HasSales);
            break;
        default:
            Messages::info(this, HasBoth);
            break;
        }
    }
    if (!deleted || m_catalogue->rowCount() == 0) {
        if (!m_catalogue->reload())
            failed(m_catalogue->lastError());
        select(0);
    } else {
        // The goods that took the deleted row's place are selected: the
        // highlighted row, the boxes and what the next command works on agree.
        select(std::min(row, m_catalogue->rowCount() - 1));
    }
}

void CatalogueDialog::addPickName()
{
    const QString text = m_nameCombo->currentText();
    if (text.isEmpty())
        return;
    const auto added = PickList::add(m_shop, text);
    if (!added) {
        failed(added.errorText());
        return;
    }
    switch (*added) {
    case PickList::Added::Full:
        Messages::info(this, PickListFull);
        return;
    case PickList::Added::Added:
        break;
    }
    m_nameCombo->addItem(text);
    m_nameCombo->setEditText(text);
    Messages::info(this, PickAdded);
}

void CatalogueDialog::removePickName()
{
    const QString text = m_nameCombo->currentText();
    if (text.isEmpty())
        return;
    const auto removed = PickList::remove(m_shop, text);
    if (!removed) {
        failed(removed.errorText());
        return;
    }
    switch (*removed) {
    case PickList::Removed::Missing:
        Messages::info(this, NoSuchPickName);
        return;
    case PickList::Removed::Removed:
        break;
    }
    // The entry chosen in the list goes; a typed name takes the first entry
    // with that text, so the list and the table keep the same names.
    int entry = m_nameCombo->currentIndex();
    if (entry < 0 || m_nameCombo->itemText(entry) != text)
        entry = m_nameCombo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0)
        m_nameCombo->removeItem(entry);
    Messages::info(this, PickRemoved);
}
