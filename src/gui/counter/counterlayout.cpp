#include "gui/counter/counterwindow.h"

#include "gui/named.h"
#include "gui/recordsetmodel.h"
#include "gui/screenhost.h"
#include "gui/twips.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableView>

#include <cmath>

// The counter's grid binding, the user modes' panel moves and the scaling.
// Places are designed in twips on a 780 × 540 window; the whole content scales
// with the window (applyScale), so a till screen of 1920 × 1080 is filled.

using Layout = CounterControls;

void CounterWindow::bindControls()
{
    // The ticket's lines in the grid, its money columns as currency.
    auto *model = new RecordSetModel(m_ticket->records(), this);
    for (int money : {3, 4, 5})
        model->setColumnFormat(money, DisplayFormat::Currency);
    // A weighed line shows its kg and its prices per kg.
    model->setCellText([this](int row, int column) -> std::optional<QString> {
        if (column < 2 || column > 4 || !m_ticket->isWeighed(row))
            return std::nullopt;
        const TicketLine line = m_ticket->line(row);
        return column == 2 ? line.quantityText() : line.priceText(column == 3 ? line.listPrice : line.price);
    });
    model->bindView(m_ui.ticketGrid);
    for (int c = 0; c < int(std::size(Layout::GridColumnWidths)); ++c)
        m_ui.ticketGrid->setColumnWidth(c, twips(Layout::GridColumnWidths[c]));
    m_ui.ticketGrid->verticalHeader()->setDefaultSectionSize(22);
    for (QPushButton *button : std::as_const(m_ui.managementButtons)) {
        const QString screen = button->property("screen").toString();
        connect(button, &QPushButton::clicked, this, [this, screen] { m_screens->open(screen); });
    }
}

void CounterWindow::enterSuperUserMode()
{
    if (isSuperUserMode())
        return;
    m_ui.managementPanel->show();
    shiftPanels(twips(Layout::ModeShift));
}

void CounterWindow::enterNormalUserMode()
{
    if (!isSuperUserMode())
        return;
    m_ui.managementPanel->hide();
    shiftPanels(-twips(Layout::ModeShift));
}

// ---- scaling ----

void CounterWindow::recordBaseLayout()
{
    // Everything placed above, in the designed 780 × 540 coordinates.
    m_scale.record(this,
                   {this, m_ui.entryPanel, m_ui.managementPanel, m_ui.ticketPanel, m_ui.modeFrame, m_ui.totalPanel});
}

void CounterWindow::shiftPanels(int dy)
{
    // The 400-twip move of the user modes, in designed coordinates: the same
    // amount in both directions, whatever the window's size.
    m_scale.translate(m_ui.entryPanel, dy);
    m_scale.translate(m_ui.ticketPanel, dy);
    applyScale();
}

void CounterWindow::applyScale()
{
    m_scale.apply(size());
    const double sx = m_scale.xFactor(size());
    for (int c = 0; c < int(std::size(Layout::GridColumnWidths)); ++c)
        m_ui.ticketGrid->setColumnWidth(c, int(std::lround(twips(Layout::GridColumnWidths[c]) * sx)));
    m_ui.ticketGrid->verticalHeader()->setDefaultSectionSize(int(std::lround(22 * m_scale.yFactor(size()))));
    setFigure(m_ui.amountTotalLabel, m_ui.amountTotalLabel->text());
    setFigure(m_ui.changeLabel, m_ui.changeLabel->text());
}

void CounterWindow::setFigure(QLabel *figure, const QString &text)
{
    figure->setText(text);
    // Three times the body text at the window's scale; only an amount too long
    // for the panel is drawn smaller, so that it is always shown whole.
    const double size = m_scale.pointSize(figure, this->size());
    if (size <= 0)
        return;
    QFont f = figure->font();
    f.setPointSizeF(size);
    while (QFontMetricsF(f).horizontalAdvance(text) > figure->width() - 4 && f.pointSizeF() > size / 3)
        f.setPointSizeF(f.pointSizeF() * 0.95);
    figure->setFont(f);
}

void CounterWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyScale();
}
