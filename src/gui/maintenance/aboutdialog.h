#pragma once

#include <QDialog>

// "联系作者": the author's contact details, shown as a picture.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
