#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

// The rules of a tax as a CSV file that spreadsheets open as they are: UTF-8
// with a byte-order mark, ";" between fields, CRLF between rows, one header
// row with the grid's column titles. Each coded column is followed by one
// with its display text ("E/S" then "E/S (descrição)"), which reading
// ignores. Knows no widgets: the screen supplies the display texts and the
// dialogs.
class RuleSpreadsheet final
{
public:
    using Rule = QHash<QString, QString>; // record field name -> stored code
    // The display text of a coded field of a rule.
    using Describe = std::function<QString(const QString &field, const Rule &rule)>;

    struct Column
    {
        QString title;
        QString field;
        bool described; // followed by a display-text column
    };
    // The columns, in the grid's order, then the rule's flags the grid does
    // not show.
    static const QList<Column> &Columns();
    static QString DescriptionTitle(const QString &title);

    static QByteArray Write(const QList<Rule> &rules, const Describe &describe);

    // A file read back as the data packet importaConsistencias takes: the
    // coded fields of the columns found plus NRLINHA, the file line of each
    // row. Codes a spreadsheet shortened ("00" saved as 0) get their leading
    // zeros back. False with a Portuguese reason for a file that is not such
    // a spreadsheet or holds no rule.
    static bool Read(const QByteArray &bytes, QJsonObject &packet, QString &problem);
};
