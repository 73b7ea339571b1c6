#pragma once

#include "kit/KvrKitExport.h"

#include "kit/forms/TCloseAction.h"

#include <QWidget>

#include <utility>

class QAction;
class QFrame;
class QLabel;
class QMenuBar;
class QScrollArea;
class QTabWidget;
class QVBoxLayout;
class TButtonFlat;
class TClientDataSet;
class TDataSource;
class TDBGrid;
class TDBNavigator;
class TMessages;

// Base of the grid maintenance screens: an MDI child (in the main form's MDI
// area when there is one) with a tool bar of record buttons acting on the
// dataset of dtsPadrao, their menu items, a page control with the base grid
// page and a navigator.
//
// Screens are created with Create<T>(...), which runs FormCreate once the
// derived object is complete. A screen replaces a handler by overriding it
// under the same name and calls the base version where it still wants it.
// Every handler runs at the event-loop boundary (kvrGuard). Closing destroys
// the screen unless FormClose chooses another action.
class KVRKIT_EXPORT TfrmPadraoGrid : public QWidget
{
    Q_OBJECT
public:
    template <class T, class... Args> static T *Create(Args &&...args)
    {
        T *form = new T(std::forward<Args>(args)...);
        form->Initialize();
        return form;
    }

    ~TfrmPadraoGrid() override;

    // Second creation phase: registers the form with the application (which
    // puts it in the MDI area), runs FormCreate, sets the tool bar for the
    // data source's state and enables the screen's own tool-bar buttons.
    void Initialize();
    // The window that frames the form: its MDI sub-window, or the form.
    QWidget *FrameWindow() const;

    // Panels a screen adds: above the page control (in the order added) and
    // below it, above the navigator.
    void AddTopPanel(QWidget *panel);
    void AddBottomPanel(QWidget *panel);

    QLabel *lblCodTela;
    QFrame *panMenu;
    TButtonFlat *sbtIncluir;
    TButtonFlat *sbtAlterar;
    TButtonFlat *sbtExcluir;
    TButtonFlat *sbtProcurar;
    TButtonFlat *sbtVerificar;
    TButtonFlat *sbtCancelar;
    TButtonFlat *sbtConfirmar;
    TButtonFlat *sbtImprimir;
    TButtonFlat *sbtAjuda;
    TButtonFlat *sbtFechar;
    QMenuBar *mnuPrincipal;
    QAction *mnuAlterar;
    QAction *mnuExcluir;
    QAction *mnuProcurar;
    QAction *mnuVerificar;
    QAction *mnuCancelar;
    QAction *mnuConfirmar;
    QAction *mnuListagem;
    QAction *mnuConfigImpressora;
    QTabWidget *pgcPadrao;
    QWidget *tshPadrao;
    QFrame *panDbgPadrao;
    QScrollArea *scbFolhaDados;
    TDBGrid *dbgPadrao;
    QFrame *panNavigator;
    TDBNavigator *dbnPadrao;
    TDataSource *dtsPadrao;
    TMessages *msgPadrao;

protected:
    explicit TfrmPadraoGrid(QWidget *parent = nullptr);

    // Sets the tool bar for the state of dtsPadrao.
    virtual void FormCreate();
    // The screen became the active MDI child (or, outside an MDI area, the
    // active window). The base does nothing.
    virtual void FormActivate();
    // Default action: caFree (the screen is destroyed).
    virtual void FormClose(TCloseAction &Action);
    // Record buttons and their menu items follow the data source's state.
    virtual void dtsPadraoStateChange();

    virtual void sbtIncluirClick();   // Insert
    virtual void sbtAlterarClick();   // Edit
    virtual void sbtExcluirClick();   // Delete, after "Confirma exclusão?"
    virtual void sbtProcurarClick();  // search window over dtsPadrao
    virtual void sbtVerificarClick(); // screens reload their rows here
    virtual void sbtCancelarClick();  // Cancel
    virtual void sbtConfirmarClick(); // Post
    virtual void sbtImprimirClick();
    virtual void sbtAjudaClick();
    virtual void sbtFecharClick(); // close()

    // The dataset the record buttons act on; EKvrError when none is bound.
    TClientDataSet *RecordDataSet() const;
    // Gives the focus to the grid of the current page, on its current row:
    // after a search, a post or a delete that a tool button started (its
    // click leaves the focus on the frame).
    void FocusPageGrid();

    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    // Keeps the focus inside pgcPadrao while its page changes; a screen that
    // filters events itself calls this for what it does not handle.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TButtonFlat *addToolButton(const char *name, const QString &hint, int x, int icon,
                               void (TfrmPadraoGrid::*handler)());
    QAction *addMenuItem(QMenu *menu, const char *name, const QString &text,
                         void (TfrmPadraoGrid::*handler)());
    void enableScreenButtons();

    QVBoxLayout *m_layout;
    QWidget *m_pageStack = nullptr; // pgcPadrao's stack of pages
    int m_topPanels = 0;
    bool m_created = false;
    bool m_activeChild = false;
};
