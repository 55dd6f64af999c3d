#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through here. By default a real
// modal QMessageBox with the given title and icon; unit tests install a
// recorder instead.
class Messages
{
public:
    enum class Icon { Information, Warning, Critical, Question };
    enum class Buttons { Ok, YesNo, OkCancel, YesNoDefaultNo };

    virtual ~Messages() = default;
    // Shows the box and returns true for OK / Yes.
    virtual bool show(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons) = 0;

    // The handler in use; install(nullptr) puts the real boxes back.
    static Messages &current();
    static void install(Messages *messages);

    // The common cases: title "提示" with the information icon.
    static void info(QWidget *parent, const QString &text, const QString &title = defaultTitle());
    static void error(QWidget *parent, const QString &text, const QString &title = defaultTitle());
    static void warning(QWidget *parent, const QString &text, const QString &title = defaultTitle());
    static bool ask(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons);

    static QString defaultTitle();
};

class MessageBoxes : public Messages
{
public:
    bool show(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons) override;
};
