// Making one PDF from a folder of pictures or from one Word, Excel or
// PowerPoint file through the engine's to-PDF entry points. Each route
// returns the size of the PDF it wrote, 0 when it wrote none (and then no
// file of the output name is left by it).
#pragma once

#include <QString>

// Every picture file of the folder (its own files, in name order; other
// files place nothing, subfolders are skipped) one below the other on Letter
// pages. 0 when the folder cannot be listed or holds no picture.
unsigned ImagesToPdf(const QString& folder, const QString& output);

// ".doc" (any case) goes to the Word 97-2003 reader, anything else is read
// as a Word 2007 package.
unsigned DocToPdf(const QString& source, const QString& folder, const QString& output);
// ".xls" / ".ppt" (any case): the pictures the 97-2003 reader finds become
// the PDF's pages, 0 when it finds none; anything else is read as an Excel
// or PowerPoint 2007 package.
unsigned XlsToPdf(const QString& source, const QString& folder, const QString& output);
unsigned PptToPdf(const QString& source, const QString& folder, const QString& output);

// Reads `source` as an Office 2007 package of `kind` (0 document, 1
// workbook, 2 presentation) from a copy in the work folder's "temp" folder,
// which is emptied first; `scratch` receives that folder's path.
unsigned Office07ToPdf(const QString& output, QString& scratch, const QString& source, int kind);

enum class OfficeRoute { None, Word03, Excel03, Ppt03, Office07 };

// The route of a source file by the create-PDF kind (1 Word, 2 Excel, 3
// PowerPoint): the 97-2003 reader when the name ends in that kind's
// extension, in any case, else the Office 2007 reader; None for another kind.
OfficeRoute ChooseOfficeRoute(int kind, const QString& source);
