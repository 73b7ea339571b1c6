#pragma once

#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "kit/core/Consiste.h"
#include "kit/core/ShowAvi.h"
#include "kit/data/TClientDataSet.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "tests/common/AppServerProcess.h"
#include "tests/kit/ModalAnswer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

// The maintenance screen as the module opens it (CriaConsistencia), talking
// to a real kvr-appserver on a fresh seeded SQLite database; a second
// connection of the test's own looks at what the server holds.
// The width of a drop-down's longest item, in its list's font.
inline int LongestItemWidth(const QComboBox *box)
{
    int longest = 0;
    for (int item = 0; item < box->count(); ++item)
        longest =
            std::max(longest, box->view()->fontMetrics().horizontalAdvance(box->itemText(item)));
    return longest;
}

class ScreenFixture : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString();
        SetWebAddress(m_server.Host(), m_server.Port());
        m_probe.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        m_probe.SetHost(m_server.Host());
        m_probe.SetPort(m_server.Port());
        CriaConsistencia();
        screen = frmConsisteFiscal;
        ASSERT_NE(screen, nullptr);
        QApplication::setActiveWindow(screen->FrameWindow());
        QTest::qWait(0);
    }

    void TearDown() override
    {
        delete screen.data();
        QApplication::processEvents();
        EXPECT_EQ(ShowAviDepth(), 0) << "busy animation left running";
        while (ShowAviDepth() > 0)
            DeactiveShowAvi();
    }

    // A call on the test's own connection; a server failure fails the test.
    QVariant Call(const QString &method, const QVariantList &args = {})
    {
        const QVariant result = m_probe.Call(method, args);
        EXPECT_NE(result.metaType(), QMetaType::fromType<TServerError>())
            << method.toStdString() << ": " << result.value<TServerError>().message.toStdString();
        return result;
    }

    // The rules the server holds for a tax, as rows of field name -> value.
    QList<QVariantMap> ServerRules(const QString &tax)
    {
        const QJsonObject packet =
            Call(QStringLiteral("getConsistencias"), {tax}).value<QJsonObject>();
        QStringList names;
        for (const QJsonValue &field : packet.value(QStringLiteral("fields")).toArray())
            names.append(field.toObject().value(QStringLiteral("name")).toString());
        QList<QVariantMap> rules;
        for (const QJsonValue &row : packet.value(QStringLiteral("rows")).toArray()) {
            QVariantMap rule;
            const QJsonArray values = row.toArray();
            for (int i = 0; i < names.size(); ++i)
                rule.insert(names.at(i), values.at(i).toString());
            rules.append(rule);
        }
        return rules;
    }

    QVariantMap ServerRule(const QString &tax, const QString &number)
    {
        for (const QVariantMap &rule : ServerRules(tax))
            if (rule.value(QStringLiteral("NRSEQCONSISTE")).toString() == number)
                return rule;
        return {};
    }

    // Types a tax code and leaves the tax panel, as a user would.
    void ChooseTax(const QString &code)
    {
        // A modal window that closed may have left no active window.
        QApplication::setActiveWindow(screen->FrameWindow());
        screen->edtCdImposto->setFocus();
        screen->edtCdImposto->setText(code);
        QWidget *next = screen->dbgBloqueados;
        next->setFocus();
        QApplication::processEvents();
    }

    AppServerProcess m_server;
    TNetConnection m_probe;
    QPointer<TfrmConsisteFiscal> screen;
};
