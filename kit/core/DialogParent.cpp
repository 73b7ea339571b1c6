#include "kit/core/DialogParent.h"

#include "kit/core/MainForm.h"

#include <QApplication>
#include <QMainWindow>

QWidget *DialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return MainForm();
}
