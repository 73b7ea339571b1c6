#pragma once

#include <QString>

class QWidget;
class TfrmConsisteFiscal;

// The maintenance screen's spreadsheet actions: the rules of the chosen tax
// out to a CSV file, and such a file into the tax (importaConsistencias, all
// or nothing). Each asks for the file in a Portuguese dialog, calls the
// server with the busy animation and ends with a silent abort on any
// failure, after telling the user why.
class RuleSpreadsheetTransfer final
{
public:
    RuleSpreadsheetTransfer() = delete;

    static void Export(TfrmConsisteFiscal *screen);
    static void Import(TfrmConsisteFiscal *screen);

    // The file chosen in the screen's save (or open) dialog, "" when cancelled.
    static QString ChooseFile(QWidget *parent, bool save, const QString &suggested);
};
