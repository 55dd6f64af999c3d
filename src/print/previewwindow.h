#pragma once

class QPrintPreviewDialog;

// Gives a print preview a sensible size on the screen and opens it at the
// page's width, so a receipt or a list is readable at once.
void makeReadable(QPrintPreviewDialog *dialog);
