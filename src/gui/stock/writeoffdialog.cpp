#include "gui/stock/writeoffdialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/adjustments.h"
#include "shop/goodscatalogue.h"
#include "shop/scalegoods.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

WriteOffDialog::WriteOffDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmbaosun"));
    setWindowTitle(QStringLiteral("报损"));
    m_code = named(new QLineEdit(this), "Text1");
    m_quantity = named(new QLineEdit(this), "Text2");
    // Pieces, or a weighed goods' kg with up to three decimals.
    m_quantity->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,6}([.,][0-9]{0,3})?")), m_quantity));
    m_reason = named(new QComboBox(this), "Combo1");
    m_reason->setEditable(true);
    m_reason->addItems(Adjustments::writeOffReasons());
    m_goods = named(new QLabel(this), "Label4");
    m_ok = named(new QPushButton(QStringLiteral("报损"), this), "Command1");
    auto *back = named(new QPushButton(QStringLiteral("返回"), this), "CancelButton");
    m_ok->setAutoDefault(false);
    back->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(named(new QLabel(QStringLiteral("货号"), this), "Label1"), m_code);
    form->addRow(QString(), m_goods);
    form->addRow(named(new QLabel(QStringLiteral("数量"), this), "Label2"), m_quantity);
    form->addRow(named(new QLabel(QStringLiteral("原因"), this), "Label3"), m_reason);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(back);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(420, 200);

    // Enter moves on: code, quantity, reason, then the write-off.
    connect(m_code, &QLineEdit::returnPressed, this, [this] {
        showGoods();
        m_quantity->setFocus();
    });
    connect(m_code, &QLineEdit::editingFinished, this, &WriteOffDialog::showGoods);
    connect(m_quantity, &QLineEdit::returnPressed, m_reason, qOverload<>(&QWidget::setFocus));
    connect(m_reason->lineEdit(), &QLineEdit::returnPressed, this, &WriteOffDialog::writeOff);
    connect(m_ok, &QPushButton::clicked, this, &WriteOffDialog::writeOff);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    m_code->setFocus();
}

void WriteOffDialog::showGoods()
{
    const QString code = m_code->text().trimmed();
    if (code.isEmpty()) {
        m_goods->clear();
        return;
    }
    const auto name = GoodsCatalogue(m_shop).nameOf(code);
    const auto price = Adjustments::lastPrice(m_shop, code);
    m_goods->setText(QStringLiteral("%1　进货价 %2")
                         .arg(name && *name ? **name : QStringLiteral("（货名里没有）"),
                              price ? price->roundedToCents().toCurrency() : QString()));
}

bool WriteOffDialog::writeOff()
{
    const QString code = m_code->text().trimmed();
    const auto weighed = ScaleGoods::weighed(m_shop);
    if (!weighed) {
        Messages::error(this, weighed.errorText());
        return false;
    }
    const bool byWeight = weighed->contains(code);
    const QString text = m_quantity->text();
    const std::optional<qint64> typed = Weighing::quantityFrom(text, byWeight);
    if (!typed || *typed <= 0) {
        Messages::info(this, byWeight ? QStringLiteral("请输入报损的重量（千克，最多三位小数）。")
                                      : QStringLiteral("请输入报损的数量（整数）。"));
        m_quantity->setFocus();
        return false;
    }
    const qint64 quantity = *typed;
    const Done done = Adjustments::writeOff(m_shop, {code, quantity, m_reason->currentText(), std::nullopt});
    if (!done) {
        Messages::error(this, done.errorText());
        return false;
    }
    Messages::info(this,
                   QStringLiteral("货号 %1 已报损 %2（%3）。")
                       .arg(code, byWeight ? text + QStringLiteral(" 千克") : QStringLiteral("%1 件").arg(quantity),
                            m_reason->currentText().trimmed()));
    m_code->clear();
    m_quantity->clear();
    m_goods->clear();
    m_code->setFocus();
    return true;
}
