// Interface texts of the console by line number. A language file holds one text per line;
// the program reads lines 0 to 58. Every window text also has a built-in wording, so a
// missing, empty or short file leaves the console usable: LangLines always holds at least
// LangLineCount lines, the missing ones taken from the built-in table.
#pragma once
#include <string>
#include <vector>

constexpr int LangLineCount = 59;

// Line numbers that the code reads by name.
enum TLangLine : int {
  llDisplayName = 0,
  llReadmeFile = 1,
  llHelpFile = 2,
  llWaitText = 36,
  llResolving = 38,
  llResolveFailed = 39,
  llStageMac = 40,
  llStagePrepare = 41,
  llStageSend = 42,
  llHostAnswered = 43,
  llWokeStatus = 44,
  llAbortStatus = 45,
  llWakeErrorBeforeMac = 46,
  llWakeErrorAfterMac = 47,
  llWakeErrorBeforeStage = 48,
  llExitQuestion = 49,
  llShutdownMissing1 = 50,
  llShutdownMissing2 = 51,
  llShutdownMissing3 = 52,
  llUpdaterMissing = 53,
  llSavedBeforeName = 54,
  llSavedAfterName = 55,
  llCancelText = 56,
};

// Where an applied language puts a line: a window caption (control empty), a control's
// caption or a control's hint.
enum class TLangProperty { Caption, Hint };
struct TLangTarget {
  int Line;
  const char* Window;   // Form1, about, clock1, pro1, wait1, splash
  const char* Control;  // empty for the window's own caption
  TLangProperty Property;
};

// The targets in the order in which a language is applied (lines 3 to 37, 57, 58).
const std::vector<TLangTarget>& LangTargets();

// The built-in wording of all LangLineCount lines.
const std::vector<std::string>& BuiltinLangLines();

// Splits file bytes into lines at CR LF, LF or a lone CR; a final line without a line end
// counts, a trailing line end adds no empty line.
std::vector<std::string> SplitTextLines(const std::string& bytes);

class TLangLines {
public:
  TLangLines();  // the built-in wording
  // Takes a language file's lines; lines the file lacks keep the built-in wording.
  void Assign(const std::vector<std::string>& fileLines);
  // Line n; a line outside the table reads as the empty text.
  const std::string& operator[](int n) const;
  int Count() const { return static_cast<int>(lines_.size()); }

private:
  std::vector<std::string> lines_;
};
