#pragma once

#include "shop/result.h"

#include <QList>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QWidget;

// A printed list of the back office (the expiry list, the reorder list): a
// title with a rule under it, the captions at the top of every page, one line
// per row; where the group column changes (the maker of a reorder list) a
// heading starts the group, so each supplier's part can be handed over alone.
struct ListReport
{
    QString title;
    QStringList captions;
    QList<double> widthsCm; // one per caption
    QList<QStringList> rows;
    int groupColumn = -1; // -1: no groups

    bool paint(QPagedPaintDevice *device) const;
    // The modal preview with the given objectName and title, from which it is printed.
    void preview(QWidget *parent, const QString &objectName) const;
    Done printOnDefaultPrinter() const;
};
