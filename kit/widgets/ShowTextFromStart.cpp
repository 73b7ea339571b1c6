#include "kit/widgets/ShowTextFromStart.h"

#include <QLineEdit>

void ShowTextFromStart(QLineEdit *edit)
{
    // Once per edit, however many of its owners ask.
    const char *const applied = "kvrShowTextFromStart";
    if (edit->property(applied).toBool())
        return;
    edit->setProperty(applied, true);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString &text) {
        if (edit->hasFocus() && edit->isEnabled() && !edit->isReadOnly())
            return; // the user is typing there
        edit->setCursorPosition(0);
        edit->setToolTip(text);
    });
}
