#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the program's real modal message boxes as a user would: a timer
// finds the active modal box, notes its text and presses the chosen button.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);

    QMessageBox::StandardButton answer;
    QStringList texts;
    QStringList titles;

private:
    void poll();
    QTimer m_timer;
};
