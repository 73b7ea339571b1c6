#pragma once

#include <QApplication>
#include <QPalette>
#include <QWidget>

// A field's colour is its background, one of the system colours: info
// background for input, button face for display-only or switched off,
// window for an option switched on. Read from the application palette, so a
// field can always go back to any of them.
inline QColor systemColour(const QWidget *field, QPalette::ColorRole role)
{
    return QApplication::palette(field).color(role);
}

inline void setFieldColour(QWidget *field, QPalette::ColorRole role)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, systemColour(field, role));
    field->setPalette(palette);
}

inline bool hasFieldColour(const QWidget *field, QPalette::ColorRole role)
{
    return field->palette().color(QPalette::Base) == systemColour(field, role);
}
