#pragma once

#include "kit/KvrKitExport.h"

#include <QString>

#include <functional>

class TClientDataSet;

// A fixed-width text field of a client dataset. Values longer than the width
// keep their leading characters. Reads and writes go to the dataset's
// current row (the edit buffer while editing).
class KVRKIT_EXPORT TField final
{
public:
    // Display handler: (field, output text, display flag). The flag is true
    // for a cell's text and false for the starting text of an in-place edit.
    using GetTextEvent = std::function<void(TField *field, QString &text, bool displayText)>;
    // Text handler: (field, text typed or picked in a control); it assigns
    // the field itself.
    using SetTextEvent = std::function<void(TField *field, const QString &text)>;

    TField(TClientDataSet *dataSet, int index, QString name, int size);

    TClientDataSet *DataSet() const { return m_dataSet; }
    int Index() const { return m_index; }
    const QString &FieldName() const { return m_name; }
    int Size() const { return m_size; }

    // The label; a field without one is titled with its name.
    QString DisplayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    void SetDisplayLabel(const QString &label) { m_label = label; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    // Width in characters used by grids and search windows; defaults to Size().
    int DisplayWidth() const { return m_displayWidth > 0 ? m_displayWidth : m_size; }
    void SetDisplayWidth(int chars) { m_displayWidth = chars; }

    QString AsString() const;
    void SetAsString(const QString &value); // truncated to Size()
    bool IsNull() const { return AsString().isEmpty(); }
    void Clear() { SetAsString(QString()); }

    // Text for display (true) or for starting an edit (false), via OnGetText.
    QString Text(bool displayText = true) const;
    QString DisplayText() const { return Text(true); }

    // Assigns a text entered in a control, via OnSetText when there is one.
    void SetText(const QString &text);

    GetTextEvent OnGetText;
    SetTextEvent OnSetText;

    // Asks the data-aware controls showing this field to focus it.
    void FocusControl();

private:
    TClientDataSet *m_dataSet;
    int m_index;
    QString m_name;
    int m_size;
    QString m_label;
    bool m_visible = true;
    int m_displayWidth = 0;
};
