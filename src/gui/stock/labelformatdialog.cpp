#include "gui/stock/labelformatdialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/scalegoods.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString Saved = QStringLiteral("条码秤格式已保存。");
const QString Failed = QStringLiteral("条码秤格式未能读写：%1");
const QString BadRow = QStringLiteral("第 %1 行：%2");
enum Column { Name, Flags, Length, Code, Amount, Weight, Example, Columns };

// A label of the format with scale code 1, ¥12.34 and 0.456 kg, check digit made.
QString exampleOf(const LabelFormat &f)
{
    if (!f.problem().isEmpty())
        return QStringLiteral("（格式有误）");
    const QString flag = f.flags.section(u',', 0, 0).section(u'-', 0, 0).trimmed();
    QString digits = flag + QStringLiteral("1").rightJustified(f.codeDigits, u'0');
    if (f.amountDigits)
        digits += QStringLiteral("1234").rightJustified(f.amountDigits, u'0').right(f.amountDigits);
    if (f.weightDigits)
        digits += QStringLiteral("456").rightJustified(f.weightDigits, u'0').right(f.weightDigits);
    return ScaleLabel::withCheckDigit(digits);
}
} // namespace

LabelFormatDialog::LabelFormatDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmchengma"));
    setWindowTitle(QStringLiteral("条码秤格式"));
    setModal(true);
    m_grid = named(new QTableWidget(0, Columns, this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("标志位"), QStringLiteral("条码长度"),
                                       QStringLiteral("秤码位数"), QStringLiteral("金额位数(分)"),
                                       QStringLiteral("重量位数(克)"), QStringLiteral("示例条码")});
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto *add13 = named(new QPushButton(QStringLiteral("添加13位金额码"), this), "Command1");
    auto *add18 = named(new QPushButton(QStringLiteral("添加18位金额重量码"), this), "Command2");
    auto *addOther = named(new QPushButton(QStringLiteral("添加其他格式"), this), "Command3");
    auto *remove = named(new QPushButton(QStringLiteral("删除"), this), "Command4");
    auto *saveButton = named(new QPushButton(QStringLiteral("保存"), this), "Command5");
    auto *close = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    m_tryEdit = named(new QLineEdit(this), "Text1");
    m_tryEdit->setPlaceholderText(QStringLiteral("扫描或输入一张秤签的条码试读"));
    auto *tryButton = named(new QPushButton(QStringLiteral("试读"), this), "Command6");
    m_tryResult = named(new QLabel(this), "Label1");
    m_tryResult->setWordWrap(true);

    // Enter in a box is for that box (a scanner ends every label with it),
    // never a press of a button.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_grid, 0, 0, 1, 6);
    layout->addWidget(add13, 1, 0);
    layout->addWidget(add18, 1, 1);
    layout->addWidget(addOther, 1, 2);
    layout->addWidget(remove, 1, 3);
    layout->addWidget(saveButton, 1, 4);
    layout->addWidget(close, 1, 5);
    layout->addWidget(m_tryEdit, 2, 0, 1, 4);
    layout->addWidget(tryButton, 2, 4);
    layout->addWidget(m_tryResult, 3, 0, 1, 6);
    resize(820, 420);

    const QList<LabelFormat> ready = LabelFormat::ready();
    connect(add13, &QPushButton::clicked, this, [this, ready] { addFormat(ready.at(0)); });
    connect(add18, &QPushButton::clicked, this, [this, ready] { addFormat(ready.at(1)); });
    connect(addOther, &QPushButton::clicked, this, [this] {
        LabelFormat f;
        f.name = QStringLiteral("新格式");
        addFormat(f);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_grid->currentRow() >= 0)
            m_grid->removeRow(m_grid->currentRow());
    });
    connect(saveButton, &QPushButton::clicked, this, &LabelFormatDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(tryButton, &QPushButton::clicked, this, &LabelFormatDialog::tryLabel);
    connect(m_tryEdit, &QLineEdit::returnPressed, this, &LabelFormatDialog::tryLabel);
    connect(m_grid, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (column != Example)
            showExample(row);
    });

    const auto stored = ScaleGoods::formats(m_shop);
    if (!stored)
        Messages::error(this, Failed.arg(stored.errorText()));
    for (const LabelFormat &f : stored.valueOr(QList<LabelFormat>()))
        addFormat(f);
}

void LabelFormatDialog::addFormat(const LabelFormat &f)
{
    const int row = m_grid->rowCount();
    const QSignalBlocker quiet(m_grid);
    m_grid->insertRow(row);
    const QStringList texts = {f.name,
                               f.flags,
                               QString::number(f.length),
                               QString::number(f.codeDigits),
                               QString::number(f.amountDigits),
                               QString::number(f.weightDigits),
                               QString()};
    for (int c = 0; c < Columns; ++c)
        m_grid->setItem(row, c, new QTableWidgetItem(texts.at(c)));
    m_grid->item(row, Example)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    showExample(row);
}

QList<LabelFormat> LabelFormatDialog::formats() const
{
    QList<LabelFormat> all;
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        auto text = [&](int c) { return m_grid->item(row, c) ? m_grid->item(row, c)->text().trimmed() : QString(); };
        auto number = [&](int c) {
            bool ok = false;
            const int n = text(c).toInt(&ok);
            return ok ? n : -1;
        };
        LabelFormat f;
        f.name = text(Name);
        f.flags = text(Flags);
        f.length = number(Length);
        f.codeDigits = number(Code);
        f.amountDigits = number(Amount);
        f.weightDigits = number(Weight);
        all.append(f);
    }
    return all;
}

void LabelFormatDialog::showExample(int row)
{
    const QList<LabelFormat> all = formats();
    if (row < 0 || row >= all.size() || !m_grid->item(row, Example))
        return;
    const QSignalBlocker quiet(m_grid);
    m_grid->item(row, Example)->setText(exampleOf(all.at(row)));
}

bool LabelFormatDialog::save()
{
    const QList<LabelFormat> all = formats();
    for (int i = 0; i < all.size(); ++i) {
        if (const QString problem = all.at(i).problem(); !problem.isEmpty()) {
            Messages::info(this, BadRow.arg(i + 1).arg(problem));
            m_grid->setCurrentCell(i, Flags);
            return false;
        }
    }
    if (const Done set = ScaleGoods::setFormats(m_shop, all); !set) {
        Messages::error(this, Failed.arg(set.errorText()));
        return false;
    }
    Messages::info(this, Saved);
    return true;
}

void LabelFormatDialog::tryLabel()
{
    const QString text = m_tryEdit->text().trimmed();
    using Label = ScaleGoods::LabelLookup;
    const auto read = ScaleGoods::readLabel(m_shop, formats(), text);
    if (!read) {
        m_tryResult->setText(read.errorText());
        return;
    }
    const Label &found = *read;
    const ScaleLabel &l = found.label;
    QString said = QStringLiteral("秤码 %1").arg(l.scaleCode);
    if (l.amount)
        said += QStringLiteral("，金额 %1").arg(l.amount->toCurrency());
    if (l.grams)
        said += QStringLiteral("，重量 %1 kg").arg(Weighing::kgText(*l.grams));
    switch (found.outcome) {
    case Label::NotLabel:
        m_tryResult->setText(QStringLiteral("不符合任何格式：按普通货号处理。"));
        break;
    case Label::BadCheck:
        m_tryResult->setText(QStringLiteral("校验位不对。"));
        break;
    case Label::UnknownScaleCode:
        m_tryResult->setText(said + QStringLiteral("：没有设定这个秤码的商品。"));
        break;
    case Label::AlsoGoodsCode:
        m_tryResult->setText(said + QStringLiteral("：但它也是一个货号，收银台会拒收。"));
        break;
    case Label::Found:
        m_tryResult->setText(said + QStringLiteral("：货号 %1。").arg(found.code));
        break;
    }
}
