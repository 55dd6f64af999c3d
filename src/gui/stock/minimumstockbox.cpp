#include "gui/stock/minimumstockbox.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/reorder.h"
#include "shop/scalegoods.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {
const QString BadMinimum = QStringLiteral("最低库存要是 0 或正整数（空着表示不提醒补货）！");
const QString BadWeighedMinimum =
    QStringLiteral("称重商品的最低库存以千克计，最多三位小数，如 2.5（空着表示不提醒补货）！");
const QString Saved = QStringLiteral("最低库存已设定。");
const QString Failed = QStringLiteral("最低库存未能读写：%1");
} // namespace

MinimumStockBox::MinimumStockBox(Shop shop, QWidget *parent)
    : QGroupBox(QStringLiteral("最低库存（补货提醒）"), parent)
    , m_shop(shop)
{
    setObjectName(QStringLiteral("Frame9"));
    m_minimum = named(new QLineEdit(this), "Text5");
    m_save = named(new QPushButton(QStringLiteral("设定"), this), "Command7");
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_minimum);
    layout->addWidget(m_save);
    connect(m_save, &QPushButton::clicked, this, &MinimumStockBox::save);
    setCode(QString());
}

void MinimumStockBox::setCode(const QString &code)
{
    m_code = code;
    m_minimum->clear();
    setEnabled(!code.isEmpty());
    if (code.isEmpty())
        return;
    // A weighed goods' minimum is kept in grams and typed in kg.
    const auto weighed = ScaleGoods::weighed(m_shop);
    m_weighed = weighed && weighed->contains(code);
    const auto minimum = weighed ? MinimumStock::of(m_shop, code) : weighed.error();
    if (!minimum)
        Messages::error(this, Failed.arg(minimum.errorText()));
    else if (*minimum)
        m_minimum->setText(Weighing::quantityText(**minimum, m_weighed));
}

void MinimumStockBox::save()
{
    const QString text = m_minimum->text().trimmed();
    std::optional<qint64> minimum;
    if (!text.isEmpty()) {
        minimum = Weighing::quantityFrom(text, m_weighed);
        if (!minimum || *minimum > 999999999) {
            Messages::info(this, m_weighed ? BadWeighedMinimum : BadMinimum);
            m_minimum->setFocus();
            m_minimum->selectAll();
            return;
        }
    }
    if (const Done set = MinimumStock::set(m_shop, m_code, minimum); !set) {
        Messages::error(this, Failed.arg(set.errorText()));
        return;
    }
    Messages::info(this, Saved);
}
