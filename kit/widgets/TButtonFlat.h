#pragma once

#include "kit/KvrKitExport.h"

#include <QPixmap>
#include <QToolButton>

#include <functional>

// Flat tool button with a glyph, a hint and a click handler. The handler runs
// at the event-loop boundary (kvrGuard): nothing it raises reaches Qt.
class KVRKIT_EXPORT TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    using ClickEvent = std::function<void(QObject *sender)>;

    explicit TButtonFlat(QWidget *parent = nullptr);

    // A glyph of NumGlyphs images side by side: the first is the normal
    // image, the second (when there is one) the disabled image.
    QPixmap Glyph() const { return m_glyph; }
    void SetGlyph(const QPixmap &glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int count);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString &hint) { setToolTip(hint); }

    // Runs the click as the user's click would (only when enabled).
    void Click();

    ClickEvent OnClick;

protected:
    // What a click does; the lookup button replaces it.
    virtual void DoClick();

private:
    void updateIcon();

    QPixmap m_glyph;
    int m_numGlyphs = 1;
};
