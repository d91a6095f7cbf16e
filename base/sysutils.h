// Strings, paths, files and the command line, the way the programs use them.
// Paths use "\" as the separator everywhere; the POSIX build converts at the system-call
// boundary (a leading "\" is the root there), so the same code and tests run on both.
// Case-insensitive comparisons fold ASCII and the Windows-1252 letters, which is what
// the ANSI code page of the Windows programs holds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "base/errors.h"

// <windows.h> maps this name to DeleteFileA; ours takes a std::string instead.
#ifdef DeleteFile
#undef DeleteFile
#endif

// --- numbers ---
std::string IntToStr(int64_t value);
// An optional sign and decimal digits that fit 32 bits, with blanks or tabs around them;
// anything else is not a number (StrToInt raises EConvertError, StrToIntDef returns the default).
bool TryStrToInt(const std::string& text, int32_t& value);
int32_t StrToInt(const std::string& text);
int32_t StrToIntDef(const std::string& text, int32_t defaultValue);

// --- text ---
// Trim removes blanks and control characters (everything up to and including ' ').
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s);                    // ASCII letters only
std::string LowerCase(const std::string& s);                    // ASCII letters only
bool SameText(const std::string& a, const std::string& b);      // ASCII letters only
bool AnsiSameText(const std::string& a, const std::string& b);  // ASCII + Windows-1252 letters
int AnsiCompareText(const std::string& a, const std::string& b);
char AnsiLowerChar(char c);

// --- paths ("\" separated; "name.ext" parts after the last "\" or ":") ---
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);  // with the trailing "\"
std::string ExtractFileDir(const std::string& path);   // without it (unless a root)
std::string ExtractFileExt(const std::string& path);   // with the dot; "" when none
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);
// Windows file-name mask match: "*" any run, "?" one character, letter case ignored.
bool MatchesFileMask(const std::string& name, const std::string& mask);

// --- files ---
bool FileExists(const std::string& fileName);  // an existing file, not a folder
bool DirectoryExists(const std::string& dirName);
bool DeleteFile(const std::string& fileName);  // false when it could not be deleted
// Where <windows.h> is included after this header its DeleteFile macro renames calls to
// DeleteFileA; this overload takes those that pass a std::string.
inline bool DeleteFileA(const std::string& fileName) { return DeleteFile(fileName); }
// Names (without folder) of the entries matching the mask in its folder, in the order the
// file system returns them; "." and ".." are left out. Missing folder: empty.
std::vector<std::string> FindFiles(const std::string& mask);
// Whole file into data; false when it cannot be opened or read.
bool LoadFileBytes(const std::string& fileName, std::string& data);
// Writes data to a temporary file beside fileName and renames it over fileName, so the
// file is either the old one or the complete new one. Raises EInOutError on failure.
void SaveFileBytes(const std::string& fileName, const std::string& data);

// --- program and command line ---
std::string ProgramFileName();  // full path of the running executable
std::string ProgramFolder();    // its folder, with a trailing "\"
// Arguments of a command line: blanks separate, double quotes group and are removed,
// a backslash is an ordinary character. The first entry is the program as written.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
int ParamCount();
// 0: the executable's full path; 1..ParamCount(): the arguments; others: "".
std::string ParamStr(int index);
