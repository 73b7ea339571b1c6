#include "kit/widgets/ShowTextFromStart.h"

#include <QLineEdit>

void ShowTextFromStart(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString &text) {
        if (edit->hasFocus() && edit->isEnabled() && !edit->isReadOnly())
            return; // the user is typing there
        edit->setCursorPosition(0);
        edit->setToolTip(text);
    });
}
