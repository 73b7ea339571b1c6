#pragma once

#include <QFrame>

#include <functional>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QSpacerItem;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TMessages;
class TNetConnection;

// The tax choice both screens share: the caption "Imposto", the tax code
// edit edtCdImposto with its lookup btpImposto, the tax name edtNmImposto,
// and the check of the code against the server. The screens' handlers
// (btpImpostoBeforePesq, btpImpostoAfterPesq, vdImposto) delegate here.
// Its sizes are properties, so that each screen's form keeps its own.
class TaxPanel final : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int codeWidth READ codeWidth WRITE setCodeWidth)
    Q_PROPERTY(int nameWidth READ nameWidth WRITE setNameWidth)
    // 0: the edits' natural height.
    Q_PROPERTY(int fieldHeight READ fieldHeight WRITE setFieldHeight)
    // Between the code, its lookup and the name; the caption keeps its own gap
    // and the name may keep its own (nameGap, -1: spacing).
    Q_PROPERTY(int spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(int nameGap READ nameGap WRITE setNameGap)
    Q_PROPERTY(int captionGap READ captionGap WRITE setCaptionGap)
    Q_PROPERTY(bool captionBold READ captionBold WRITE setCaptionBold)
    // Where the code edit starts, the caption before it; 0: right after the
    // caption.
    Q_PROPERTY(int codeLeft READ codeLeft WRITE setCodeLeft)

public:
    // The connection is asked for at every call: the automatic screen
    // borrows the maintenance screen's, which may be gone.
    using ConnectionSource = std::function<TNetConnection *()>;

    explicit TaxPanel(QWidget *parent = nullptr);

    QLabel *caption;
    QLineEdit *edtCdImposto;
    TBtnPesquisa *btpImposto;
    QLineEdit *edtNmImposto;

    // The tax records, their lookup source, the messages of the checks and
    // the connection; before any of the calls below.
    void Bind(TClientDataSet *cdsImposto, TDataSource *dtsImposto, const TMessages *msgPadrao,
              ConnectionSource connection);

    // Loads every tax for the lookup (an empty code and the filter "T").
    void LoadTaxes() const;
    // Copies the picked tax's code and name into the two edits.
    void CopyPicked() const;
    // The tax code must be given and registered: the edit is filled to two
    // digits first, and the tax row becomes cdsImposto's current row.
    // Failures put the focus on the code and end the action (MensErro).
    void Check() const;

    int codeWidth() const;
    void setCodeWidth(int width);
    int nameWidth() const;
    void setNameWidth(int width);
    int fieldHeight() const { return m_fieldHeight; }
    void setFieldHeight(int height);
    int spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    int nameGap() const { return m_nameGap; }
    void setNameGap(int gap);
    int captionGap() const { return m_captionGap; }
    void setCaptionGap(int gap);
    bool captionBold() const;
    void setCaptionBold(bool bold);
    int codeLeft() const { return m_codeLeft; }
    void setCodeLeft(int left);

private:
    void arrange();

    QHBoxLayout *m_layout;
    QSpacerItem *m_afterCaption;
    QSpacerItem *m_afterCode;
    QSpacerItem *m_afterLookup;
    int m_fieldHeight = 0;
    int m_spacing = 6;
    int m_nameGap = -1;
    int m_captionGap = 6;
    int m_codeLeft = 0;
    TClientDataSet *m_cdsImposto = nullptr;
    const TMessages *m_msgPadrao = nullptr;
    ConnectionSource m_connection;
};
