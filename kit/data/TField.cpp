#include "kit/data/TField.h"

#include "kit/data/TClientDataSet.h"

TField::TField(TClientDataSet *dataSet, int index, QString name, int size)
    : m_dataSet(dataSet), m_index(index), m_name(std::move(name)), m_size(size)
{
}

void TField::SetVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    Q_EMIT m_dataSet->fieldVisibilityChanged(this);
}

QString TField::AsString() const
{
    return m_dataSet->fieldValue(m_index);
}

void TField::SetAsString(const QString &value)
{
    m_dataSet->setFieldValue(m_index, value);
}

QString TField::Text(bool displayText) const
{
    if (!OnGetText)
        return AsString();
    // Like the host framework, the handler starts from an empty text.
    QString text;
    OnGetText(const_cast<TField *>(this), text, displayText);
    return text;
}

void TField::SetText(const QString &text)
{
    if (OnSetText)
        OnSetText(this, text);
    else
        SetAsString(text);
}

void TField::FocusControl()
{
    Q_EMIT m_dataSet->focusFieldRequested(this);
}
