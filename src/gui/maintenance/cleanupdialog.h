#pragma once

#include "shop/datacleanup.h"

#include "shop/shop.h"
#include <QDialog>

#include <functional>

// frmqingli "数据清理": three buttons that empty the sales; the sales and the
// purchases; or those and the goods catalogue, after a confirmation. The
// counter then numbers its tickets from 1 again. 操作记录 opens the trail.
class CleanupDialog : public QDialog
{
    Q_OBJECT

public:
    CleanupDialog(Shop shop, const QString &databasePath, std::function<void()> restartTicketNumbers,
                  QWidget *parent = nullptr);

    void clean(DataCleanup::Scope scope);

private:
    Shop m_shop;
    QString m_databasePath;
    std::function<void()> m_restartTicketNumbers;
};
