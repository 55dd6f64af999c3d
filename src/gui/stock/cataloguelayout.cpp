#include "gui/stock/cataloguedialog.h"

#include "gui/named.h"
#include "gui/sheetexport.h"
#include "gui/stock/importdialog.h"
#include "gui/stock/membersdialog.h"
#include "gui/stock/minimumstockbox.h"
#include "gui/stock/promotionsdialog.h"
#include "gui/stock/weighedbox.h"
#include "gui/twips.h"
#include "shop/cataloguelist.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

// 货名管理's controls and what each button runs.

namespace {
const QString PickHelp = QStringLiteral("先在“货名”中输入要添加的货名再点“添加”按钮即可完成添加操作。在下拉菜单中选择要"
                                        "删除的货名然后点击“删除”按钮即可完成删除操作。");

QLabel *caption(QWidget *parent, const char *name, const QString &text)
{
    return named(new QLabel(text, parent), name);
}
} // namespace

void CatalogueDialog::buildControls()
{
    auto *addGroup = new QGroupBox(this);
    auto *addLayout = new QGridLayout(addGroup);
    addLayout->addWidget(caption(addGroup, "Label1", QStringLiteral("增加品名及代码")), 0, 0, 1, 2);
    addLayout->addWidget(caption(addGroup, "Label2", QStringLiteral("货号：")), 1, 0);
    m_codeEdit = named(new QLineEdit(addGroup), "Text1");
    addLayout->addWidget(m_codeEdit, 1, 1);
    addLayout->addWidget(caption(addGroup, "Label3", QStringLiteral("货名：")), 2, 0);
    m_nameCombo = named(new QComboBox(addGroup), "Combo1");
    m_nameCombo->setEditable(true);
    m_nameCombo->setInsertPolicy(QComboBox::NoInsert);
    addLayout->addWidget(m_nameCombo, 2, 1);
    m_addButton = named(new QPushButton(QStringLiteral("增加"), addGroup), "OKButton");
    m_clearButton = named(new QPushButton(QStringLiteral("取消"), addGroup), "CancelButton");
    auto *addButtons = new QHBoxLayout;
    addButtons->addWidget(m_addButton);
    addButtons->addWidget(m_clearButton);
    addLayout->addLayout(addButtons, 3, 0, 1, 2);

    auto *editGroup = new QGroupBox(this);
    auto *editLayout = new QGridLayout(editGroup);
    auto *editHeading =
        caption(editGroup, "Label4", QStringLiteral("在右边选择一个品名然后在下面进行修改或者删除操作"));
    editHeading->setWordWrap(true);
    editLayout->addWidget(editHeading, 0, 0, 1, 2);
    editLayout->addWidget(caption(editGroup, "Label5", QStringLiteral("货号：")), 1, 0);
    m_selectedCode = named(new QLineEdit(editGroup), "Text3");
    m_selectedCode->setEnabled(false);
    editLayout->addWidget(m_selectedCode, 1, 1);
    editLayout->addWidget(caption(editGroup, "Label6", QStringLiteral("货名：")), 2, 0);
    m_selectedName = named(new QLineEdit(editGroup), "Text4");
    editLayout->addWidget(m_selectedName, 2, 1);
    m_renameButton = named(new QPushButton(QStringLiteral("修改货名"), editGroup), "Command2");
    m_cancelRenameButton = named(new QPushButton(QStringLiteral("取消"), editGroup), "Command3");
    m_saveRenameButton = named(new QPushButton(QStringLiteral("保存修改"), editGroup), "Command4");
    m_deleteButton = named(new QPushButton(QStringLiteral("删除"), editGroup), "Command1");
    auto *editButtons = new QGridLayout;
    editButtons->addWidget(m_renameButton, 0, 0);
    editButtons->addWidget(m_cancelRenameButton, 0, 1);
    editButtons->addWidget(m_saveRenameButton, 1, 0);
    editButtons->addWidget(m_deleteButton, 1, 1);
    editLayout->addLayout(editButtons, 3, 0, 1, 2);

    auto *pickGroup = new QGroupBox(this);
    auto *pickLayout = new QVBoxLayout(pickGroup);
    m_pickListHeading = caption(pickGroup, "Label9", QStringLiteral("编辑“货名”下拉菜单  （使用说明）"));
    m_pickListHeading->setToolTip(PickHelp);
    pickLayout->addWidget(m_pickListHeading);
    m_addPickButton = named(new QPushButton(QStringLiteral("添加"), pickGroup), "Command5");
    m_removePickButton = named(new QPushButton(QStringLiteral("删除"), pickGroup), "Command6");
    auto *pickButtons = new QHBoxLayout;
    pickButtons->addWidget(m_addPickButton);
    pickButtons->addWidget(m_removePickButton);
    pickLayout->addLayout(pickButtons);

    m_grid = named(new QTableView(this), "DataGrid1");
    m_grid->setModel(m_catalogue);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setColumnWidth(0, twips(1800));

    auto *left = new QVBoxLayout;
    left->addWidget(addGroup);
    left->addWidget(editGroup);
    left->addWidget(pickGroup);
    m_minimum = new MinimumStockBox(m_shop, this);
    left->addWidget(m_minimum);
    m_weighed = new WeighedBox(m_shop, this);
    left->addWidget(m_weighed);
    auto *specials = named(new QPushButton(QStringLiteral("特价…"), this), "Command10");
    connect(specials, &QPushButton::clicked, this, [this] {
        SpecialsDialog dialog(m_shop, this);
        dialog.exec();
    });
    auto *members = named(new QPushButton(QStringLiteral("会员…"), this), "Command11");
    connect(members, &QPushButton::clicked, this, [this] {
        MembersDialog dialog(m_shop, this);
        dialog.exec();
    });
    // The catalogue in and out of spreadsheets.
    auto *sheets = new QHBoxLayout;
    sheets->addWidget(specials);
    sheets->addWidget(members);
    sheets->addWidget(importGoodsButton(this, m_shop, [this] { reread(); }));
    sheets->addWidget(exportButton(this, QStringLiteral("货名"), [this] {
        return GridSheet{m_grid, {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text}, QStringLiteral("货名")};
    }));
    left->addLayout(sheets);
    left->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(m_grid, 1);
    resize(760, 520);

    connect(m_addButton, &QPushButton::clicked, this, &CatalogueDialog::addGoods);
    connect(m_clearButton, &QPushButton::clicked, this, &CatalogueDialog::clearAddGroup);
    connect(m_renameButton, &QPushButton::clicked, this, &CatalogueDialog::startRename);
    connect(m_cancelRenameButton, &QPushButton::clicked, this, &CatalogueDialog::cancelRename);
    connect(m_saveRenameButton, &QPushButton::clicked, this, &CatalogueDialog::saveRename);
    connect(m_deleteButton, &QPushButton::clicked, this, &CatalogueDialog::deleteGoods);
    connect(m_addPickButton, &QPushButton::clicked, this, &CatalogueDialog::addPickName);
    connect(m_removePickButton, &QPushButton::clicked, this, &CatalogueDialog::removePickName);
}
