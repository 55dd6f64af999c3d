#pragma once

#include "gui/messages.h"

#include <QList>
#include <QString>

// Stands in for the real message boxes in unit tests: records every box and
// answers questions as told.
class MessageRecorder : public Messages
{
public:
    struct Box
    {
        QString text;
        QString title;
        Icon icon;
    };

    MessageRecorder();
    ~MessageRecorder() override;

    bool show(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons) override;

    QList<Box> boxes;
    bool answer = true;

    QStringList texts() const;
    QString last() const { return boxes.isEmpty() ? QString() : boxes.last().text; }
    void clear() { boxes.clear(); }
};
