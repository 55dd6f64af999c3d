#include "gui/gridwidths.h"

#include "gui/twips.h"

#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QtMath>

#include <algorithm>

namespace {
// The width of a text as the sum of its characters' advances, each measured
// once: grid texts are digits, currency and names, which a font does not
// kern to speak of. Sums are kept fractional and rounded up at the end, so a
// text is never measured narrower than its characters.
class TextWidths
{
public:
    explicit TextWidths(const QFont &font) : m_metrics(font) { }
    int of(const QString &text)
    {
        qreal sum = 0;
        for (const QChar c : text) {
            if (c.isSurrogate())
                return qCeil(m_metrics.horizontalAdvance(text));
            auto it = m_advance.constFind(c.unicode());
            if (it == m_advance.cend())
                it = m_advance.insert(c.unicode(), m_metrics.horizontalAdvance(c));
            sum += *it;
        }
        return qCeil(sum);
    }

private:
    QFontMetricsF m_metrics;
    QHash<char16_t, qreal> m_advance;
};
} // namespace

void fitColumns(QTableView *grid, std::initializer_list<int> twipWidths)
{
    // The widths follow the caption and the first few hundred rows: twenty
    // thousand goods are not measured one by one. The texts are measured with
    // the font alone; laying each cell out as the delegate draws it costs
    // more than reading the rows.
    constexpr int SampledRows = 300;
    grid->ensurePolished(); // the font and style it will be drawn with
    const QAbstractItemModel *model = grid->model();
    const int rows = model ? std::min(model->rowCount(), SampledRows) : 0;
    TextWidths cellFont(grid->font());
    const QFontMetrics captionFont(grid->horizontalHeader()->font());
    QStyle *style = grid->style();
    // The delegate's text margins and the grid line, and a little room so that
    // rounding never elides the widest text.
    const int cellMargin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 1 + 4;
    const int captionMargin = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, grid) + 4;
    int column = 0;
    for (const int width : twipWidths) {
        int wanted = twips(width);
        if (model && !grid->isColumnHidden(column)) {
            wanted =
                std::max(wanted, captionFont.horizontalAdvance(model->headerData(column, Qt::Horizontal).toString()) +
                                     captionMargin);
            for (int row = 0; row < rows; ++row)
                wanted = std::max(wanted, cellFont.of(model->index(row, column).data().toString()) + cellMargin);
        }
        grid->setColumnWidth(column, wanted);
        ++column;
    }
}

void widenToColumns(QTableView *grid, QWidget *window)
{
    // Every shown column fits without a horizontal scroll bar, as far as the
    // screen allows; the window is never made narrower than the user made it.
    int columns = 0;
    for (int c = 0; c < grid->horizontalHeader()->count(); ++c)
        if (!grid->isColumnHidden(c))
            columns += grid->columnWidth(c);
    const int gridWidth = columns + grid->verticalHeader()->sizeHint().width() + 2 * grid->frameWidth() +
                          grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid) + 2;
    // The grid spans the window's layout from margin to margin.
    const QMargins margins = window->layout() ? window->layout()->contentsMargins() : QMargins();
    int wanted = gridWidth + margins.left() + margins.right();
    if (const QScreen *screen = window->screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    if (wanted > window->width())
        window->resize(wanted, window->height());
}
