#include "gui/maintenance/receiptdesigndialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "gui/recordsetmodel.h"
#include "shop/recordset.h"
#include "shop/schema.h"
#include "shop/settings.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("小票设计");
const QString TooLong = QStringLiteral("请输入少于32个字符！");
const QString Empty = QStringLiteral("不能为空！");
const QString Saved = QStringLiteral("修改成功！");
const QString Full = QStringLiteral("票尾行数已到上限，不能再追加！");
const QString WriteFailed = QStringLiteral("小票设置未能保存：%1");
constexpr int ContentColumn = 2; // id, code, content

// The cell editor of a footer line: at every change a text over 32
// characters is refused and cut, as in the header box.
class FooterLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            connect(line, &QLineEdit::textChanged, line, [line](const QString &text) {
                if (ReceiptDesignDialog::lengthOf(text) <= ReceiptDesignDialog::MaxLength)
                    return;
                Messages::info(line, TooLong);
                line->setText(ReceiptDesignDialog::clipped(text));
            });
        }
        return editor;
    }
};
} // namespace

qsizetype ReceiptDesignDialog::lengthOf(const QString &text)
{
    return text.toUcs4().size();
}

QString ReceiptDesignDialog::clipped(const QString &text)
{
    const QList<uint> chars = text.toUcs4();
    if (chars.size() <= MaxLength)
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), MaxLength);
}

ReceiptDesignDialog::ReceiptDesignDialog(Shop shop, std::function<void()> headerSaved, QWidget *parent)
    : QDialog(parent)
    , m_headerSaved(std::move(headerSaved))
    , m_shop(shop)
{
    setObjectName(QStringLiteral("frmxiaopiao"));
    setWindowTitle(Caption);

    m_footer = new RecordSet(shop, Schema::footerRowsSource(), {}, this);
    m_footer->setObjectName(QStringLiteral("Adodc2"));
    const Settings settings(shop);
    const Result<QString> header = settings.receiptHeader();
    if (!header || !m_footer->open())
        failed(header ? m_footer->lastError() : header.errorText());

    auto *headerNote =
        named(new QLabel(QStringLiteral("票头一行共32个字符，一般为单位名称，请直接在下面修改后点击保存即可"), this),
              "Label3");
    m_headerEdit = named(new QLineEdit(this), "Text1");
    m_saveButton = named(new QPushButton(QStringLiteral("保存"), this), "Command1");
    auto *middleNote =
        named(new QLabel(QStringLiteral("注：票头和票尾之间由系统生成销售明细内容，不用设置"), this), "Label2");
    auto *footerNote = named(
        new QLabel(QStringLiteral("票尾可有多行且至少有一行，每行32个字符，请直接在下面编辑即可"), this), "Label1");
    m_grid = named(new QTableView(this), "DataGrid1");
    m_appendButton = named(new QPushButton(QStringLiteral("追加一行"), this), "jiabutton");
    m_deleteButton = named(new QPushButton(QStringLiteral("删除最后一行"), this), "deleteButton");

    auto *model = new RecordSetModel(m_footer, this);
    model->setHeader(ContentColumn, QStringLiteral("打印内容"));
    model->setEditable(ContentColumn, [](const QString &text) { return clipped(text); });
    model->bindView(m_grid);
    connect(model, &RecordSetModel::writeFailed, this, [this](const QString &error) { failed(error); });
    m_grid->setItemDelegateForColumn(ContentColumn, new FooterLineDelegate(m_grid));
    for (int c = 0; c < m_footer->columns().size(); ++c)
        m_grid->setColumnHidden(c, c != ContentColumn);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setEditTriggers(QAbstractItemView::AllEditTriggers);

    auto *headerRow = new QHBoxLayout;
    headerRow->addWidget(m_headerEdit, 1);
    headerRow->addWidget(m_saveButton);
    auto *footerButtons = new QHBoxLayout;
    footerButtons->addStretch();
    footerButtons->addWidget(m_appendButton);
    footerButtons->addWidget(m_deleteButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headerNote);
    layout->addLayout(headerRow);
    layout->addWidget(middleNote);
    layout->addWidget(footerNote);
    layout->addWidget(m_grid, 1);
    layout->addLayout(footerButtons);
    resize(560, 420);

    m_headerEdit->setText(header.valueOr(QString()));

    connect(m_headerEdit, &QLineEdit::textChanged, this, [this] { checkHeaderLength(); });
    connect(m_saveButton, &QPushButton::clicked, this, &ReceiptDesignDialog::saveHeader);
    connect(m_appendButton, &QPushButton::clicked, this, &ReceiptDesignDialog::appendLine);
    connect(m_deleteButton, &QPushButton::clicked, this, &ReceiptDesignDialog::deleteLastLine);
}

void ReceiptDesignDialog::failed(const QString &error)
{
    Messages::error(this, WriteFailed.arg(error));
}

void ReceiptDesignDialog::checkHeaderLength()
{
    const QString text = m_headerEdit->text();
    if (lengthOf(text) <= MaxLength)
        return;
    Messages::info(this, TooLong);
    m_headerEdit->setText(clipped(text));
}

void ReceiptDesignDialog::saveHeader()
{
    const QString text = m_headerEdit->text();
    if (text.isEmpty()) {
        Messages::info(this, Empty);
        return;
    }
    if (const Done set = Settings(m_shop).setReceiptHeader(text); !set) {
        failed(set.errorText());
        return;
    }
    Messages::info(this, Saved);
    if (m_headerSaved)
        m_headerSaved();
}

void ReceiptDesignDialog::showEvent(QShowEvent *event)
{
    m_footerBefore = Settings(m_shop).receiptFooter().valueOr(QStringList());
    QDialog::showEvent(event);
}

void ReceiptDesignDialog::hideEvent(QHideEvent *event)
{
    // An edit still open in the grid is written by the requery.
    if (m_footer->requery()) {
        Settings settings(m_shop);
        if (const Done recorded = settings.recordFooterChange(m_footerBefore); !recorded)
            failed(recorded.errorText());
        m_footerBefore = settings.receiptFooter().valueOr(m_footerBefore);
    }
    QDialog::hideEvent(event);
}

void ReceiptDesignDialog::appendLine()
{
    // An edit still open in the grid is written first, then the new line.
    if (!m_footer->requery()) {
        failed(m_footer->lastError());
        return;
    }
    const auto appended = Settings(m_shop).appendFooterLine();
    if (!appended) {
        failed(appended.errorText());
        return;
    }
    if (*appended == Settings::Appended::Full) {
        Messages::info(this, Full);
        return;
    }
    // The lines as stored, with the new one current.
    if (!m_footer->requery())
        failed(m_footer->lastError());
    else if (m_footer->count() > 0)
        m_footer->moveLast();
}

void ReceiptDesignDialog::deleteLastLine()
{
    // The only line stays: a receipt always has a footer.
    if (m_footer->count() <= 1)
        return;
    m_footer->moveLast();
    if (!m_footer->deleteCurrent())
        failed(m_footer->lastError());
}
