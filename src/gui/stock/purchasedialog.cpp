#include "gui/stock/purchasedialog.h"
#include "gui/sheetexport.h"
#include "gui/stock/importdialog.h"

#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "gui/numberbox.h"
#include "shop/numbertext.h"
#include "shop/purchaselist.h"
#include "shop/purchasestore.h"
#include "shop/scalegoods.h"

#include <QApplication>
#include <QDateEdit>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("进货管理");
const QString NoCatalogue = QStringLiteral("请先进入“货名管理”输入货名！");
const QString NoCodeTyped = QStringLiteral("请先输入货号！");
const QString UnknownCode = QStringLiteral("没有这个货物代码，请重新输入或进入 货名管理 添加新代码！");
const QString BadInput = QStringLiteral("输入有误！");
const QString MemberPriceAbove = QStringLiteral("会员价不能高于售价！");
const QString SoldAlready = QStringLiteral("此货物有销售数据，请先删除销售数据！");
const QString Gone = QStringLiteral("这条进货记录已经不在数据库中，没有删除任何数据。");
const QString DatabaseError = QStringLiteral("进货数据未能读写：%1");

struct Required
{
    const char *control;
    const char *message;
};
// Checked in this order when a purchase is added.
const Required RequiredFields[] = {
    {"Text1", "货号不能为空！"}, {"Text2", "数量不能为空！"}, {"Text3", "进价不能为空！"},
    {"Text7", "售价不能为空！"}, {"Text6", "厂家不能为空！"},
};
} // namespace

PurchaseDialog::PurchaseDialog(Shop shop, QWidget *parent)
    : QDialog(parent)
    , m_shop(shop)
    , m_catalogue(shop)
    , m_list(new PurchaseList(shop, this))
{
    setObjectName(QStringLiteral("frmjinhuo"));
    setWindowTitle(Caption);
    buildControls();
    reloadList();
}

void PurchaseDialog::buildControls()
{
    auto box = [this](const char *name) { return named(new QLineEdit(this), name); };
    auto label = [this](const char *name, const char *text) {
        return named(new QLabel(QString::fromUtf8(text), this), name);
    };
    m_codeEdit = box("Text1");
    m_quantityEdit = box("Text2");
    m_purchasePriceEdit = box("Text3");
    m_sellingPriceEdit = box("Text7");
    m_nameEdit = box("Text5");
    m_nameEdit->setEnabled(false);
    m_makerEdit = box("Text6");
    auto dateBox = [this](const char *name) {
        auto *d = named(new QDateEdit(QDate::currentDate(), this), name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        return d;
    };
    m_purchaseDate = dateBox("DTPicker1");
    m_expiryDate = dateBox("DTPicker2");
    m_addButton = named(new QPushButton(QStringLiteral("增加"), this), "OKButton");
    m_clearButton = named(new QPushButton(QStringLiteral("取消"), this), "CancelButton");
    m_closeButton = named(new QPushButton(QStringLiteral("关闭"), this), "Command1");
    m_deleteButton = named(new QPushButton(QStringLiteral("删除"), this), "Command2");

    // Made after the screen's own boxes: their order of Tab stays as it was.
    m_memberPriceEdit = box("Text9");
    m_memberPriceEdit->setPlaceholderText(QStringLiteral("不填：同售价"));
    auto *fields = new QGridLayout;
    fields->addWidget(label("Label1", "货号："), 0, 0);
    fields->addWidget(m_codeEdit, 0, 1);
    fields->addWidget(label("Label5", "货名："), 0, 2);
    fields->addWidget(m_nameEdit, 0, 3);
    fields->addWidget(label("Label2", "数量："), 1, 0);
    fields->addWidget(m_quantityEdit, 1, 1);
    fields->addWidget(label("Label6", "厂家："), 1, 2);
    fields->addWidget(m_makerEdit, 1, 3);
    fields->addWidget(label("Label3", "进价："), 2, 0);
    fields->addWidget(m_purchasePriceEdit, 2, 1);
    fields->addWidget(label("Label7", "进货时间："), 2, 2);
    fields->addWidget(m_purchaseDate, 2, 3);
    fields->addWidget(label("Label4", "售价："), 3, 0);
    fields->addWidget(m_sellingPriceEdit, 3, 1);
    fields->addWidget(label("Label8", "过期时间："), 3, 2);
    fields->addWidget(m_expiryDate, 3, 3);
    fields->addWidget(label("Label9", "会员价："), 4, 0);
    fields->addWidget(m_memberPriceEdit, 4, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_addButton, m_clearButton, m_deleteButton, m_closeButton})
        buttons->addWidget(b);
    buttons->addWidget(importPurchasesButton(this, m_shop, [this] { reloadList(); }));
    buttons->addWidget(exportButton(this, QStringLiteral("进货"), [this] {
        return GridSheet{m_grid,
                         {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text, Spreadsheet::Kind::Integer,
                          Spreadsheet::Kind::Money, Spreadsheet::Kind::Money, Spreadsheet::Kind::Text,
                          Spreadsheet::Kind::Date, Spreadsheet::Kind::Date},
                         QStringLiteral("进货")};
    }));

    m_grid = named(new QTableView(this), "DataGrid1");
    m_grid->setModel(m_list);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(m_grid, 1);
    resize(820, 560);

    m_codeEdit->installEventFilter(this);
    connect(m_quantityEdit, &QLineEdit::textChanged, this, [this] { normaliseQuantity(); });
    connect(m_purchasePriceEdit, &QLineEdit::textChanged, this, [this] { keepPurchasePrice(); });
    connect(m_sellingPriceEdit, &QLineEdit::textChanged, this, [this] { checkSellingPrice(); });
    connect(m_addButton, &QPushButton::clicked, this, &PurchaseDialog::addPurchase);
    connect(m_clearButton, &QPushButton::clicked, this, &PurchaseDialog::clearFields);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(m_deleteButton, &QPushButton::clicked, this, &PurchaseDialog::deletePurchase);
}

void PurchaseDialog::failed(const QString &error)
{
    Messages::error(this, DatabaseError.arg(error));
}

void PurchaseDialog::reloadList()
{
    if (!m_list->reload())
        failed(m_list->lastError());
    // Thirteen-digit codes and long names are shown whole.
    fitColumns(m_grid, {1000, 1200, 600, 800, 800, 1000, 1100, 1100});
    if (m_list->rowCount() > 0)
        m_grid->selectRow(0);
}

bool PurchaseDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The code is checked when the user goes on to another input box of the
    // screen. A click on a button (关闭, 删除, 取消, 增加) or the grid runs
    // that button's work: a message in the middle of the click would swallow
    // it, and the screen could not even be closed. The window losing the
    // focus to a message box or another program checks nothing either.
    if (watched == m_codeEdit && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        QWidget *next = QApplication::focusWidget();
        const bool toInputBox = next && next != m_codeEdit && next->window() == this &&
                                (qobject_cast<QLineEdit *>(next) || qobject_cast<QAbstractSpinBox *>(next) ||
                                 qobject_cast<QAbstractSpinBox *>(next->parentWidget()));
        if (toInputBox && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_checking &&
            isVisible())
            checkCode();
    }
    return QDialog::eventFilter(watched, event);
}

void PurchaseDialog::checkCode()
{
    const QScopedValueRollback<bool> guard(m_checking, true);
    const auto empty = m_catalogue.isEmpty();
    if (!empty) {
        failed(empty.errorText());
        return;
    }
    if (*empty) {
        Messages::info(this, NoCatalogue);
        return;
    }
    const QString code = m_codeEdit->text();
    if (code.isEmpty()) {
        // No goods: no name of earlier goods stays beside the empty box.
        m_nameEdit->clear();
        Messages::info(this, NoCodeTyped);
        m_codeEdit->setFocus();
        return;
    }
    // The catalogue is asked afresh: goods added in 货名管理 are found at once.
    const auto name = m_catalogue.nameOf(code);
    if (!name) {
        failed(name.errorText());
        return;
    }
    if (!*name) {
        m_nameEdit->clear();
        Messages::info(this, UnknownCode);
        m_codeEdit->setFocus();
        return;
    }
    m_nameEdit->setText(**name);
    m_weighed = isWeighed(code);
}

bool PurchaseDialog::isWeighed(const QString &code)
{
    const auto weighed = ScaleGoods::weighed(m_shop);
    if (!weighed)
        failed(weighed.errorText());
    return weighed && weighed->contains(code);
}

void PurchaseDialog::normaliseQuantity()
{
    // A weighed goods is bought in kg with up to three decimals.
    if (!m_weighed) {
        normaliseWholeNumber(m_quantityEdit, this, BadInput);
        return;
    }
    const QString text = m_quantityEdit->text();
    if (text.isEmpty() || Weighing::gramsFromKg(text))
        return;
    Messages::info(this, BadInput);
    m_quantityEdit->clear();
}

void PurchaseDialog::keepPurchasePrice()
{
    const QString text = m_purchasePriceEdit->text();
    if (text.isEmpty())
        return;
    if (const auto price = Money::parse(text)) {
        m_purchasePrice = *price;
        return;
    }
    Messages::info(this, BadInput);
    m_purchasePriceEdit->clear();
}

void PurchaseDialog::checkSellingPrice()
{
    const QString text = m_sellingPriceEdit->text();
    if (text.isEmpty() || Money::parse(text))
        return;
    Messages::info(this, BadInput);
    m_sellingPriceEdit->clear();
}

void PurchaseDialog::addPurchase()
{
    for (const Required &r : RequiredFields) {
        auto *box = findChild<QLineEdit *>(QString::fromLatin1(r.control));
        if (box->text().isEmpty()) {
            Messages::info(this, QString::fromUtf8(r.message));
            box->setFocus();
            return;
        }
    }
    m_weighed = isWeighed(m_codeEdit->text());
    qint64 quantity = 0;
    bool quantityOk = false;
    if (m_weighed) {
        const auto grams = Weighing::gramsFromKg(m_quantityEdit->text());
        quantityOk = grams && *grams > 0 && *grams <= std::numeric_limits<qint32>::max();
        quantity = grams.value_or(0);
    } else if (const auto pieces = NumberText::toInt16(m_quantityEdit->text())) {
        quantityOk = true;
        quantity = *pieces;
    }
    const auto selling = Money::parse(m_sellingPriceEdit->text());
    const QString memberText = m_memberPriceEdit->text().trimmed();
    const auto member = memberText.isEmpty() ? selling : Money::parse(memberText);
    if (!quantityOk || !selling || !member) {
        Messages::info(this, BadInput);
        return;
    }
    if (*member > *selling) {
        Messages::info(this, MemberPriceAbove);
        m_memberPriceEdit->setFocus();
        return;
    }
    if (const Done added =
            PurchaseStore(m_shop).add({m_codeEdit->text(), int(quantity), m_purchasePrice, *selling,
                                       m_makerEdit->text(), m_purchaseDate->date(), m_expiryDate->date(), member});
        !added) {
        failed(added.errorText());
        return;
    }
    reloadList();
}

void PurchaseDialog::clearFields()
{
    for (QLineEdit *box : {m_codeEdit, m_quantityEdit, m_purchasePriceEdit, m_nameEdit, m_makerEdit, m_sellingPriceEdit,
                           m_memberPriceEdit})
        box->clear();
}

void PurchaseDialog::deletePurchase()
{
    const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    const std::optional<PurchaseList::Row> row = m_list->rowAt(current);
    if (!row) {
        reloadList();
        return;
    }
    const auto removal = PurchaseStore(m_shop).remove(row->rowid, row->id, row->code);
    if (!removal) {
        failed(removal.errorText());
        return;
    }
    reloadList();
    if (*removal == PurchaseStore::Removal::GoodsSold)
        Messages::info(this, SoldAlready);
    else if (*removal == PurchaseStore::Removal::Gone)
        Messages::info(this, Gone);
}
