#pragma once

#include <QColor>
#include <QPixmap>

// The pictures of the rule grid's "Ativo" column: a white box with a black
// top and left edge and a silver line right and below, ticked or not, on
// olive, the colour the grid draws transparent.
QColor CheckImageBackground();
QPixmap CheckImage(bool checked);
