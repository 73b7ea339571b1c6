#pragma once

#include "kit/KvrKitExport.h"

#include "kit/forms/TCloseAction.h"

#include <QDialog>

#include <utility>

class QFrame;
class QGroupBox;
class QLabel;
class TButtonFlat;
class TMessages;

// Base of the routine dialogs: a modal dialog with the screen code, the
// content box grbDadosRel and, on the right, the button bar panMenu/panBotoes
// with the confirm button sbtConfirma.
//
// Dialogs are created with Create<T>(...), which runs FormCreate once the
// derived object is complete. FormShow runs at every opening; FormClose at
// every closing (Esc, the window's close button, accept or reject) decides
// what closing does: caHide (default) hides the dialog and keeps it.
class KVRKIT_EXPORT TfrmRotiGeral : public QDialog
{
    Q_OBJECT
public:
    template <class T, class... Args> static T *Create(Args &&...args)
    {
        T *form = new T(std::forward<Args>(args)...);
        form->Initialize();
        return form;
    }

    ~TfrmRotiGeral() override;

    void Initialize();

    // Ends the dialog through FormClose: caNone keeps it open.
    void done(int result) override;

    QLabel *lblCodTela;
    QGroupBox *grbDadosRel;
    QFrame *panMenu;
    QFrame *panBotoes;
    TButtonFlat *sbtConfirma;
    TButtonFlat *sbtFechar;
    TMessages *msgPadrao;

protected:
    explicit TfrmRotiGeral(QWidget *parent = nullptr);

    virtual void FormCreate();
    virtual void FormShow();
    // Default action: caHide.
    virtual void FormClose(TCloseAction &Action);
    // Base: ends the dialog as accepted. Screens run their routine here.
    virtual void sbtConfirmaClick();

    void showEvent(QShowEvent *event) override;

private:
    bool m_created = false;
    bool m_closing = false;
};
