// Folders of the desktop program and the small path helpers that the rest of
// the program calls. Paths are QStrings with "/" separators; the name helpers
// also accept "\" so that names typed or stored in the other style still
// split where the user expects.
#pragma once

#include <QString>

class QWidget;

// The folder of the running executable, without a trailing "/"; "." when it
// cannot be found.
QString GetAppFolder();

// Where the external tool programs live: the program folder + "/temple/bin".
QString GetToolFolder();

// The work folder for temporary files: the user's XDG data folder
// ($XDG_DATA_HOME, or ~/.local/share) + "/BrontixPdfTools/tmp". Not created
// here; empty when there is no data folder.
QString GetTempFolder();

// The user's documents folder (the XDG documents folder, or ~/Documents),
// created when missing.
QString GetMyDocumentsFolder();

// Creates the folder and every missing parent; nothing for an empty path or
// an existing folder. Errors are not reported: callers go on with the path.
void CreateFolderTree(const QString& path);

// The part after the last "/" or "\" (whichever comes later). False, and
// `name` untouched, when the path holds neither.
bool GetFileNameFromPath(QString& name, const QString& path);

// The part before the last "/" or "\". False, and `folder` untouched, when
// the path holds neither.
bool GetFolderFromPath(QString& folder, const QString& path);

// The file name (as GetFileNameFromPath, the whole path when it has no
// separator) cut before its last "."; a name whose only dot is its first
// character is returned whole.
QString GetBaseName(const QString& path);

// The folder part of a path with its trailing separator; empty when the path
// holds no separator.
QString GetPathFolder(const QString& path);

// The program's own version: major, minor and third number. 0.
int GetFileVersion(int& major, int& minor, int& third);

// The product web page for the current language code.
QString GetProductPageUrl();

// The tutorial page for the current language code: in the code's own
// folder for "jp", "de" and "fr", at the top of the site otherwise.
QString GetTutorialPageUrl();
// The page the new version is downloaded from.
QString GetDownloadPageUrl();

// The program's main window while the calling thread is the user-interface
// thread; null on any other thread or before start-up set one.
QWidget* GetMainWindow();
void SetMainWindow(QWidget* window);
