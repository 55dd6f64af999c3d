#include "gui/numberbox.h"

#include "gui/messages.h"
#include "shop/numbertext.h"

#include <QLineEdit>

void normaliseWholeNumber(QLineEdit *box, QWidget *messageParent, const QString &message)
{
    const QString text = box->text();
    if (text.isEmpty())
        return;
    const auto number = NumberText::toInt16(text);
    if (!number) {
        Messages::info(messageParent, message);
        box->clear();
        return;
    }
    // Writing it back changes the text once more, which then stays as it is.
    const QString normal = QString::number(*number);
    if (normal != text)
        box->setText(normal);
}
