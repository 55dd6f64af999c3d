#pragma once

#include "shop/salestrend.h"

#include <QDialog>

class QChartView;

// frmtubiao, "销售图表" (from 销售分析): the range's sales and gross profit
// per day, week or month, and its ten best sellers; 保存图片 saves both as PNG.
class SalesChartDialog : public QDialog
{
    Q_OBJECT

public:
    SalesChartDialog(SalesTrend trend, const QString &range, QWidget *parent = nullptr);
    // Both charts as one picture; false when it could not be written.
    bool saveImage(const QString &path) const;

private:
    SalesTrend m_trend;
    QWidget *m_charts;
};
