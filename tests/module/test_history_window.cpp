// "Histórico" on the maintenance screen: the history window of a rule and of
// its tax, against a real server.
#include "CLI/STD/KVR/KVR51400/HistoryWindow.h"
#include "kit/core/TMessages.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/module/ScreenFixture.h"

#include <QAction>
#include <QLabel>
#include <QTableWidget>

namespace {

class HistoryScreen : public ScreenFixture
{
protected:
    THistoryWindow *openWindow() const
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<THistoryWindow *>(widget);
                window && window->isVisible())
                return window;
        return nullptr;
    }
};

} // namespace

TEST_F(HistoryScreen, ShowsWhoChangedWhatOfTheRuleAndOfTheTax)
{
    {
        ModalAnswer answer;
        screen->findChild<TButtonFlat *>(QStringLiteral("sbtHistorico"))->Click();
        EXPECT_EQ(answer.Texts(),
                  QStringList{QStringLiteral("Informe o imposto para ver o histórico de "
                                             "alterações.")});
    }
    Call(QStringLiteral("cadAutoInsere"),
         {"01", "00", "00", "1102", "1102", "0", "0", "0", "S", "N", "1", "B"});
    QString number;
    for (const QVariantMap &rule : ServerRules(QStringLiteral("01")))
        if (rule.value(QStringLiteral("CDFISCOPER")) == QLatin1String("1102") &&
            rule.value(QStringLiteral("CDFISCAL")) == QLatin1String("1"))
            number = rule.value(QStringLiteral("NRSEQCONSISTE")).toString();
    ASSERT_FALSE(number.isEmpty());
    Call(QStringLiteral("cadAutoAtualiza"),
         {"01", "", "", number, QVariantList{false, false, false, false, false, false, true},
          QVariantList{"", "", "", "", "", "", "N", "N"}});
    ChooseTax(QStringLiteral("01"));
    ASSERT_TRUE(screen->cdsConsistencias->Locate(QStringLiteral("NRSEQCONSISTE"), number));

    const struct
    {
        const char *trigger;
        const char *title;
        int rows;
    } cases[] = {
        {"sbtHistorico", "da consistência", 2},
        {"mnuHistorico", "da consistência", 2},
        {"mnuHistoricoImposto", "das consistências do imposto", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.trigger);
        if (auto *button = screen->findChild<TButtonFlat *>(QString::fromLatin1(c.trigger)))
            button->Click();
        else
            screen->findChild<QAction *>(QString::fromLatin1(c.trigger))->trigger();
        THistoryWindow *window = openWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->lblTitulo->text().contains(QString::fromUtf8(c.title)));
        const QTableWidget *grid = window->grdHistorico;
        ASSERT_EQ(grid->rowCount(), c.rows);
        const auto cell = [grid](int row, int column) { return grid->item(row, column)->text(); };
        EXPECT_EQ(cell(0, 3), QStringLiteral("Alteração"));
        EXPECT_EQ(cell(0, 1), QStringLiteral("(sem login)"));
        EXPECT_EQ(cell(0, 2), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(cell(0, 4), number);
        EXPECT_TRUE(cell(0, 5).endsWith(QStringLiteral(": Sim → Não"))) << cell(0, 5).toStdString();
        EXPECT_EQ(cell(1, 3), QStringLiteral("Inclusão"));
        // The grid's texts: the fiscal code "1" as the screen shows it.
        EXPECT_TRUE(cell(1, 5).contains(QStringLiteral("(vazio) → ") +
                                        screen->msgPadrao->Msg(QStringLiteral("1"))))
            << cell(1, 5).toStdString();
        const QDateTime shown =
            QDateTime::fromString(cell(0, 0), QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        EXPECT_LE(std::abs(shown.secsTo(QDateTime::currentDateTime())), 120);
        window->close();
        QApplication::processEvents();
    }
}
