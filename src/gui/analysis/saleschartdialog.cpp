#include "gui/analysis/saleschartdialog.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace {

double yuan(Money m)
{
    // For drawing only: the figures themselves stay exact.
    return double(m.roundedToCents().units()) / Money::Scale;
}

// Yuan on the axis: whole yuan, or cents where the amounts are small.
void moneyAxis(QValueAxis *axis, double high)
{
    axis->setLabelFormat(high < 20 ? QStringLiteral("%.2f") : QStringLiteral("%.0f"));
    axis->setTitleText(QStringLiteral("元"));
}

QChartView *chartView(QWidget *parent, const char *name, QChart *chart)
{
    auto *view = named(new QChartView(chart, parent), name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(260);
    return view;
}

QChart *trendChart(const SalesTrend &trend, const QString &range)
{
    auto *sales = new QBarSet(QStringLiteral("销售额"));
    auto *profit = new QBarSet(QStringLiteral("毛利"));
    QStringList labels;
    double low = 0, high = 0;
    for (const SalesTrend::Bucket &b : trend.buckets) {
        sales->append(yuan(b.sales));
        profit->append(yuan(b.profit));
        labels.append(trend.label(b));
        low = std::min({low, yuan(b.sales), yuan(b.profit)});
        high = std::max({high, yuan(b.sales), yuan(b.profit)});
    }
    auto *series = new QBarSeries;
    series->append(sales);
    series->append(profit);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("销售额与毛利（%1）").arg(range));
    auto *x = new QBarCategoryAxis;
    x->append(labels);
    x->setTruncateLabels(false);
    // Many days, weeks or months: every label stands upright in a smaller
    // font, so that none of them is cut short.
    if (labels.size() > 12) {
        x->setLabelsAngle(-90);
        QFont small = x->labelsFont();
        small.setPointSizeF(labels.size() > 40 ? 6.5 : 8);
        x->setLabelsFont(small);
    }
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(low, high > low ? high * 1.05 : low + 1);
    y->applyNiceNumbers();
    moneyAxis(y, high);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

QChart *bestChart(const SalesTrend &trend)
{
    auto *amounts = new QBarSet(QStringLiteral("销售金额"));
    QStringList labels;
    // The best at the top.
    for (auto r = trend.best.crbegin(); r != trend.best.crend(); ++r) {
        amounts->append(yuan(r->amount));
        labels.append(r->name.isEmpty() ? r->code : r->name);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(amounts);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("销售金额前十名"));
    auto *y = new QBarCategoryAxis;
    y->append(labels);
    y->setTruncateLabels(false);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    auto *x = new QValueAxis;
    double high = 0;
    for (const SalesFigures::Row &r : trend.best)
        high = std::max(high, yuan(r.amount));
    x->setRange(0, high > 0 ? high * 1.05 : 1);
    x->applyNiceNumbers();
    moneyAxis(x, high);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    chart->legend()->hide();
    // The names whole: the plot leaves them the room they need.
    chart->setMargins(QMargins(4, 0, 8, 0));
    return chart;
}

} // namespace

SalesChartDialog::SalesChartDialog(SalesTrend trend, const QString &range, QWidget *parent)
    : QDialog(parent)
    , m_trend(std::move(trend))
{
    setObjectName(QStringLiteral("frmtubiao"));
    setWindowTitle(QStringLiteral("销售图表"));
    resize(900, 720);
    m_charts = new QWidget(this);
    auto *charts = new QVBoxLayout(m_charts);
    charts->setContentsMargins(0, 0, 0, 0);
    charts->addWidget(chartView(m_charts, "Chart1", trendChart(m_trend, range)), 1);
    auto *best = chartView(m_charts, "Chart2", bestChart(m_trend));
    best->setMinimumHeight(340); // ten names, each a line high
    charts->addWidget(best, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *save = named(new QPushButton(QStringLiteral("保存图片"), this), "Command1");
    auto *close = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_charts, 1);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(save, &QPushButton::clicked, this, [this] {
        QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存图片"), QStringLiteral("销售图表.png"),
                                                    QStringLiteral("PNG 图片 (*.png)"));
        if (path.isEmpty())
            return;
        if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
            path += QStringLiteral(".png");
        if (!saveImage(path))
            Messages::error(this, QStringLiteral("图片未能保存到 %1。").arg(path));
    });
}

bool SalesChartDialog::saveImage(const QString &path) const
{
    return m_charts->grab().save(path, "PNG");
}
