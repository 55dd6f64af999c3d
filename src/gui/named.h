#pragma once

#include <QString>

// Gives a control its given name as objectName, so tests and automation find it.
template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
