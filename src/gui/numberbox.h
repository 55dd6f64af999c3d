#pragma once

class QLineEdit;
class QString;
class QWidget;

// The whole-number box of the counter and the purchase screen, run at every
// change: the text is read as a 16-bit whole number (halves to the even
// neighbour) and written back as that number; text that is not one is refused
// with `message` and the box is emptied.
void normaliseWholeNumber(QLineEdit *box, QWidget *messageParent, const QString &message);
