#include "gui/maintenance/aboutdialog.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmabout"));
    setWindowTitle(QStringLiteral("联系作者"));

    // The details are drawn into a picture, as the shop has always had them.
    QPixmap card(360, 120);
    card.fill(Qt::white);
    {
        QPainter p(&card);
        QFont f = p.font();
        f.setPointSize(12);
        p.setFont(f);
        p.drawText(card.rect().adjusted(12, 12, -12, -12), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Tarvel V1.3\n超市收款与后台管理程序\n作者：Tarvel 开发组"));
    }
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(card);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Command1"));
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(close, 0, Qt::AlignRight);
}
