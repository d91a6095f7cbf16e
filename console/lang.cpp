#include "console/lang.h"

#include "base/strings.h"

const std::vector<TLangTarget>& LangTargets() {
  using P = TLangProperty;
  static const std::vector<TLangTarget> targets = {
      {3, "Form1", "GroupBox1", P::Caption},
      {4, "Form1", "Label3", P::Caption},
      {5, "Form1", "Label1", P::Caption},
      {6, "Form1", "Label2", P::Caption},
      {7, "Form1", "SpeedButton2", P::Caption},
      {8, "Form1", "SpeedButton3", P::Caption},
      {9, "Form1", "SpeedButton7", P::Caption},
      {10, "Form1", "SpeedButton6", P::Caption},
      {11, "Form1", "SpeedButton1", P::Caption},
      {12, "Form1", "SpeedButton8", P::Caption},
      {13, "Form1", "SpeedButton5", P::Caption},
      {14, "Form1", "SpeedButton9", P::Hint},
      {15, "Form1", "Edit1", P::Hint},
      {16, "Form1", "Edit2", P::Hint},
      {17, "about", "", P::Caption},
      {18, "about", "Label4", P::Caption},
      {19, "about", "Label3", P::Caption},
      {20, "about", "SpeedButton1", P::Caption},
      {21, "clock1", "", P::Caption},
      {22, "clock1", "GroupBox1", P::Caption},
      {23, "clock1", "Label1", P::Caption},
      {24, "clock1", "Label2", P::Caption},
      {25, "clock1", "SpeedButton1", P::Caption},
      {26, "clock1", "SpeedButton2", P::Caption},
      {27, "pro1", "", P::Caption},
      {28, "pro1", "GroupBox1", P::Caption},
      {29, "pro1", "GroupBox2", P::Caption},
      {30, "pro1", "Label1", P::Caption},
      {31, "pro1", "Label2", P::Caption},
      {32, "pro1", "Label3", P::Caption},
      {33, "pro1", "SpeedButton1", P::Caption},
      {34, "pro1", "SpeedButton2", P::Caption},
      {35, "wait1", "", P::Caption},
      {36, "wait1", "Label1", P::Caption},
      {37, "wait1", "SpeedButton1", P::Caption},
      {57, "splash", "Label3", P::Caption},
      {58, "splash", "Label4", P::Caption},
  };
  return targets;
}

const std::vector<std::string>& BuiltinLangLines() {
  // Lines 3 to 37, 57 and 58 are the windows' own texts; the others are the program's
  // German wording for when no language file supplies them.
  static const std::vector<std::string> lines = {
      "Deutsch",
      "liesmich.txt",
      "hilfe.txt",
      "Computer wecken",
      "Profil wählen:",
      "MacAdresse:",
      "IP/Host:",
      "Computer aufwecken",
      "Computer zur bestimmten Zeit wecken",
      "Optionen zum Herunterfahren (PH Shutdown)",
      "Profileditor",
      "Beenden",
      "Hilfe",
      "Über... Morrowbell",
      "Computernamen auflösen.",
      "Hier die MacAdresse des zu weckenden PCs ohne Bindestriche eingeben.",
      "Hier die Subnetmaske oder die IP-Adresse des zu weckenden PCs eingeben.",
      "Über...",
      "ReadMe zeigen",
      "Nach Updates suchen",
      "zurück",
      "Bitte Weckzeit eingeben",
      "Datum & Uhrzeit",
      "Datum:",
      "Zeit:",
      "Timer aktivieren",
      "zurück",
      "Profileditor",
      "Vorhandene Profile",
      "Profileinstellungen",
      "Profilename:",
      "Mac-Adresse:",
      "IP/Host:",
      "speichern",
      "zurück",
      "Bitte warten...",
      "Wecksignal wurde gesendet. Warte auf Antwort...",
      "Abbrechen",
      "Computername wird aufgelöst...",
      "Der Computername konnte nicht aufgelöst werden.",
      "MacAdresse lesen",
      "Wecksignal vorbereiten",
      "Wecksignal senden",
      " hat geantwortet. Der Computer ist wach.",
      "Wecksignal gesendet an ",
      "Wecken abgebrochen.",
      "Der Computer mit der MacAdresse ",
      " konnte nicht geweckt werden.",
      "Fehler beim Schritt:",
      "Möchten Sie Morrowbell wirklich beenden?",
      "PH Shutdown ist nicht installiert.",
      "Die Optionen zum Herunterfahren stellt das Programm PH Shutdown bereit.",
      "Bitte installieren Sie PH Shutdown und versuchen Sie es erneut.",
      "Skyvane ist nicht installiert. Bitte installieren Sie Skyvane, um nach Updates zu suchen.",
      "Das Profil \"",
      "\" wurde gespeichert.",
      "Abbruch... Bitte warten.",
      "Morrowbell is now loading...",
      "Just a moment please...",
  };
  return lines;
}

std::vector<std::string> SplitTextLines(const std::string& bytes) {
  TStringList list;
  list.SetText(bytes);
  return {list.begin(), list.end()};
}

TLangLines::TLangLines() : lines_(BuiltinLangLines()) {}

void TLangLines::Assign(const std::vector<std::string>& fileLines) {
  lines_ = BuiltinLangLines();
  for (size_t i = 0; i < fileLines.size(); ++i) {
    if (i < lines_.size())
      lines_[i] = fileLines[i];
    else
      lines_.push_back(fileLines[i]);
  }
}

const std::string& TLangLines::operator[](int n) const {
  static const std::string empty;
  if (n < 0 || n >= Count()) return empty;
  return lines_[static_cast<size_t>(n)];
}
