#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QPagedPaintDevice;

// A document in one narrow column for a receipt roll (58 or 80 mm): blocks
// one under the other, each a text on the left (wrapped) and one on the
// right, or a dashed rule. Margins of 3 mm, the paper's width used, the page
// as long as the document (never shorter than wide).
namespace RollDocument {

struct Block
{
    QString left, right;
    QFont font;
    Qt::Alignment align = Qt::AlignLeft;
    bool rule = false;
};

bool paint(const QList<Block> &blocks, QPagedPaintDevice *device, double paperWidthMm);

} // namespace RollDocument
