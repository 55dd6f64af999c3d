#include "gui/sheetexport.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTableView>

QPushButton *exportButton(QWidget *parent, const QString &fileName, std::function<Spreadsheet::Sheet()> sheet)
{
    auto *button = named(new QPushButton(QStringLiteral("导出"), parent), "ExportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, fileName, sheet] {
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
        const Spreadsheet::Sheet s = sheet();
        const QString problem = Spreadsheet::write(s, path);
        QApplication::restoreOverrideCursor();
        if (!problem.isEmpty())
            Messages::error(parent, QStringLiteral("没有导出：%1").arg(problem));
        else
            Messages::info(
                parent, QStringLiteral("已导出 %1 行到 %2。").arg(s.rows.size()).arg(QDir::toNativeSeparators(path)));
    });
    return button;
}

Spreadsheet::Sheet sheetOfView(const QTableView *view, const QList<Spreadsheet::Kind> &kinds, const QString &name)
{
    // A grid read in pages as it scrolls (进货管理) gives every row first.
    QAbstractItemModel *model = view->model();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QList<int> hidden;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->isColumnHidden(c))
            hidden.append(c);
    return Spreadsheet::fromModel(*view->model(), kinds, name, hidden);
}
