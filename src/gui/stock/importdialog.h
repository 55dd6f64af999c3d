#pragma once

#include "shop/csvimport.h"

#include "shop/shop.h"
#include <QDialog>

#include <functional>

class QPushButton;

// frmdaoru, "导入预览": every row of the file and every problem found in it.
// 确定 is there only when there is none; nothing is stored before it. The
// grid formats a row only when it is shown: a file of a million goods costs
// what its visible rows cost.
class ImportDialog : public QDialog
{
    Q_OBJECT

public:
    // `rows` rows, each with its file line (`lineOf`) and its fields (`text`).
    ImportDialog(const QString &title, const QStringList &captions, int rows, std::function<int(int row)> lineOf,
                 std::function<QString(int row, int column)> text, const CsvImport::Checked &checked,
                 QWidget *parent = nullptr);
};

// "导入" of 货名管理 and 进货管理: asks for the CSV file, shows the preview and
// stores every row in one transaction on 确定; `stored` then runs.
QPushButton *importGoodsButton(QWidget *parent, Shop shop, std::function<void()> stored);
QPushButton *importPurchasesButton(QWidget *parent, Shop shop, std::function<void()> stored);
// "导入" of 盘点: a handheld scanner's file (code, count) into the count
// `count()` gives, after the same preview; each code's count is set.
QPushButton *importCountsButton(QWidget *parent, Shop shop, std::function<qint64()> count,
                                std::function<void()> stored);
