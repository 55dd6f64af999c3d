#include "gui/stock/weighedbox.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "gui/stock/labelformatdialog.h"
#include "shop/scalegoods.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString NoScaleCode = QStringLiteral("请输入这个称重商品在条码秤上的秤码（数字）！");
const QString Saved = QStringLiteral("称重设定已保存。");
const QString Failed = QStringLiteral("称重设定未能读写：%1");
} // namespace

WeighedBox::WeighedBox(Shop shop, QWidget *parent)
    : QGroupBox(QStringLiteral("称重商品（条码秤）"), parent)
    , m_shop(shop)
{
    setObjectName(QStringLiteral("Frame10"));
    m_weighed = named(new QCheckBox(QStringLiteral("称重"), this), "Check1");
    m_scaleCode = named(new QLineEdit(this), "Text6");
    m_scaleCode->setPlaceholderText(QStringLiteral("秤码"));
    m_scaleCode->setMaxLength(9);
    m_save = named(new QPushButton(QStringLiteral("设定"), this), "Command8");
    auto *formats = named(new QPushButton(QStringLiteral("条码秤格式…"), this), "Command9");
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_weighed, 0, 0);
    layout->addWidget(m_scaleCode, 0, 1);
    layout->addWidget(m_save, 0, 2);
    layout->addWidget(formats, 1, 0, 1, 3);
    connect(m_weighed, &QCheckBox::toggled, m_scaleCode, &QWidget::setEnabled);
    connect(m_save, &QPushButton::clicked, this, &WeighedBox::save);
    connect(formats, &QPushButton::clicked, this, [this] {
        LabelFormatDialog dialog(m_shop, window());
        dialog.exec();
    });
    setCode(QString());
}

void WeighedBox::setCode(const QString &code)
{
    m_code = code;
    m_weighed->setChecked(false);
    m_scaleCode->clear();
    m_scaleCode->setEnabled(false);
    for (QWidget *w : {static_cast<QWidget *>(m_weighed), static_cast<QWidget *>(m_save)})
        w->setEnabled(!code.isEmpty());
    if (code.isEmpty())
        return;
    const auto weighed = ScaleGoods::weighed(m_shop);
    if (!weighed) {
        Messages::error(this, Failed.arg(weighed.errorText()));
        return;
    }
    if (const auto it = weighed->constFind(code); it != weighed->cend()) {
        m_weighed->setChecked(true);
        m_scaleCode->setText(*it);
    }
}

void WeighedBox::save()
{
    const QString scaleCode = m_weighed->isChecked() ? m_scaleCode->text().trimmed() : QString();
    if (m_weighed->isChecked() && scaleCode.isEmpty()) {
        Messages::info(this, NoScaleCode);
        m_scaleCode->setFocus();
        return;
    }
    if (const Done set = ScaleGoods::setWeighed(m_shop, m_code, scaleCode); !set) {
        Messages::info(this, Failed.arg(set.errorText()));
        m_scaleCode->setFocus();
        m_scaleCode->selectAll();
        return;
    }
    m_scaleCode->setText(ScaleGoods::keptScaleCode(scaleCode));
    Messages::info(this, Saved);
}
