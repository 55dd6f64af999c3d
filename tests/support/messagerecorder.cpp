#include "messagerecorder.h"

MessageRecorder::MessageRecorder()
{
    Messages::install(this);
}

MessageRecorder::~MessageRecorder()
{
    Messages::install(nullptr);
}

bool MessageRecorder::show(QWidget *, const QString &text, const QString &title, Icon icon, Buttons)
{
    boxes.append({text, title, icon});
    return answer;
}

QStringList MessageRecorder::texts() const
{
    QStringList all;
    for (const Box &b : boxes)
        all.append(b.text);
    return all;
}
