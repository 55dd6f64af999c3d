#include "gui/sheetexport.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTableView>

QPushButton *exportButton(QWidget *parent, const QString &fileName, std::function<GridSheet()> grid)
{
    auto *button = named(new QPushButton(QStringLiteral("导出"), parent), "ExportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, fileName, grid] {
        QString filter = QStringLiteral("Excel 工作簿 (*.xlsx)");
        QString path = QFileDialog::getSaveFileName(
            parent, QStringLiteral("导出"), QDir::home().filePath(fileName + QStringLiteral(".xlsx")),
            QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件，UTF-8 (*.csv)"), &filter);
        if (path.isEmpty())
            return;
        // A name typed with its suffix says which; otherwise the chosen filter.
        const bool typed = path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ||
                           path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
        if (!typed)
            path += filter.contains(QStringLiteral("csv")) ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
        QApplication::setOverrideCursor(Qt::WaitCursor);
        int rows = 0;
        const QString problem = exportGrid(grid(), path, &rows);
        QApplication::restoreOverrideCursor();
        if (!problem.isEmpty())
            Messages::error(parent, QStringLiteral("没有导出：%1").arg(problem));
        else
            Messages::info(parent, QStringLiteral("已导出 %1 行到 %2。").arg(rows).arg(QDir::toNativeSeparators(path)));
    });
    return button;
}

namespace {

// The rows of a grid's model as it shows them. A grid read in pages as it
// scrolls (进货管理) gives every row first.
Spreadsheet::ModelRows rowsOfView(const QTableView *view, const QList<Spreadsheet::Kind> &kinds, const QString &name)
{
    QAbstractItemModel *model = view->model();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QList<int> hidden;
    for (int c = 0; c < model->columnCount(); ++c)
        if (view->isColumnHidden(c))
            hidden.append(c);
    return Spreadsheet::ModelRows(*model, kinds, name, hidden);
}

} // namespace

QString exportGrid(const GridSheet &grid, const QString &path, int *rows)
{
    // Read in chunks and handed to the writing thread as they come.
    constexpr int Chunk = 1024;
    const Spreadsheet::ModelRows source = rowsOfView(grid.view, grid.kinds, grid.name);
    const Spreadsheet::Sheet &header = source.header();
    Spreadsheet::SheetWriter writer(path, header.name, header.captions, header.kinds);
    const int count = source.count();
    for (int from = 0; from < count; from += Chunk)
        writer.add(source.rows(from, std::min(count, from + Chunk)));
    if (rows)
        *rows = count;
    return writer.finish();
}

Spreadsheet::Sheet sheetOfView(const QTableView *view, const QList<Spreadsheet::Kind> &kinds, const QString &name)
{
    return rowsOfView(view, kinds, name).all();
}
