// The desktop program's start and end.
#pragma once

#include <QString>

// Prepares the process and runs the main window until it closes: fills an
// empty HOME from the user database, computes the program, tool and work
// folders (creating the work folder), points TESSDATA_PREFIX at the program
// folder when that folder holds character-recognition data, hands the three
// folders to the parser library, sets the PDF library and its encryption up
// (OpenSSL's providers), installs the language files as the answer
// of GetLangString, shows the main window and, once it has closed, frees the
// parser library's tables. Returns the exit code.
int RunApplication(int argc, char** argv);

// Whether the folder holds language data for the parser library's character
// recognition (eng.traineddata in it or in its "tessdata" folder).
bool HoldsRecognitionData(const QString& folder);
