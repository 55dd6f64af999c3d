#include "gui/maintenance/cleanupdialog.h"

#include "gui/maintenance/traildialog.h"
#include "gui/messages.h"
#include "gui/named.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
const QString Caption = QStringLiteral("数据清理");
const QString Confirm = QStringLiteral("确认要删除？");
const QString ConfirmTitle = QStringLiteral("删除");

struct Choice
{
    const char *label;
    const char *caption;
    const char *button;
    DataCleanup::Scope scope;
};
const Choice Choices[] = {
    {"Label1", "零售数据", "Command1", DataCleanup::Scope::Sales},
    {"Label2", "零售数据+进货数据", "Command2", DataCleanup::Scope::SalesAndPurchases},
    {"Label3", "零售数据+进货数据+货名数据", "Command3", DataCleanup::Scope::Everything},
};
} // namespace

CleanupDialog::CleanupDialog(Shop shop, const QString &databasePath, std::function<void()> restartTicketNumbers,
                             QWidget *parent)
    : QDialog(parent)
    , m_shop(std::move(shop))
    , m_databasePath(databasePath)
    , m_restartTicketNumbers(std::move(restartTicketNumbers))
{
    setObjectName(QStringLiteral("frmqingli"));
    setWindowTitle(Caption);
    auto *layout = new QGridLayout(this);
    int row = 0;
    for (const Choice &c : Choices) {
        layout->addWidget(named(new QLabel(QString::fromUtf8(c.caption), this), c.label), row, 0);
        auto *button = named(new QPushButton(QStringLiteral("删除"), this), c.button);
        layout->addWidget(button, row, 1);
        const DataCleanup::Scope scope = c.scope;
        connect(button, &QPushButton::clicked, this, [this, scope] { clean(scope); });
        ++row;
    }
    // The trail of what was deleted, which no cleanup empties.
    auto *trail = named(new QPushButton(QStringLiteral("操作记录"), this), "Command4");
    layout->addWidget(trail, row, 1);
    connect(trail, &QPushButton::clicked, this, [this] {
        TrailDialog dialog(m_shop, this);
        dialog.exec();
    });
    resize(360, 190);
}

void CleanupDialog::clean(DataCleanup::Scope scope)
{
    if (!Messages::ask(this, Confirm, ConfirmTitle, Messages::Icon::Warning, Messages::Buttons::OkCancel))
        return;
    const DataCleanup::Result result = DataCleanup::run(m_shop, m_databasePath, scope);
    if (!result.ok) {
        Messages::error(this, result.error);
        return;
    }
    // Numbering starts again at 1, also when the tables were empty already.
    if (m_restartTicketNumbers)
        m_restartTicketNumbers();
}
