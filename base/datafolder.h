// Where the program keeps its files: the data folder and the Data_Media folder.
#pragma once

#include <string>

// The user's application-data root: $APPDATA when set, else $XDG_DATA_HOME, else
// ~/.local/share (empty when none of these is known).
std::string DATA_AppDataRoot();

// The data folder "<root>/Ovalo" (settings, names files, logs, screenshots), or the folder
// given to DATA_SetFolder.
std::string DATA_Folder();

// Puts the data folder in a place of the user's choice (the command line's --data-dir); an
// empty text or nullptr goes back to "<root>/Ovalo". Called before the tasks start.
void DATA_SetFolder(const char* folder);

// Creates the data folder (and a missing root, or the missing parents of a chosen folder); an
// existing folder or a failure is ignored.
void DATA_CreateFolder();

// A file in the data folder: "<root>/Ovalo/<name>".
std::string DATA_FilePath(const char* name);

// A file of the "Data_Media" folder: looked up in the working folder first, then beside the
// executable, then in the installed share folder; the working-folder path when none has it.
std::string DATA_MediaPath(const char* name);

// A file name stamped with the computer's local time to the millisecond:
// "<prefix>_YYYYMMDD_HHMMSS_mmm<suffix>" (the screenshots and saved histories), cut to fit.
std::string DATA_StampedName(const char* prefix, const char* suffix);
