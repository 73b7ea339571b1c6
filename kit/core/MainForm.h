#pragma once

class QMainWindow;
class QMdiArea;

// The application's main form (an MDI main window) and its MDI area, as the
// host set them; nullptr until it does (tests run screens without one).
QMainWindow *MainForm();
QMdiArea *MainMdiArea();
void SetMainForm(QMainWindow *form, QMdiArea *mdiArea);
