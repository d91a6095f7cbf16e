#include <gtest/gtest.h>

#include "tests/console/fakes.h"

namespace {

const std::string Dir = "C:\\mb\\";

std::string LangFile(const std::string& name, int lines) {
  std::string text = name + "\r\n";
  for (int i = 1; i < lines; ++i) text += name + std::to_string(i) + "\r\n";
  return text;
}

struct CoreRig {
  CoreRig() : core(host, view, Dir) { view.abortFlag = &core.AbortWake; }
  void AddLanguage(const std::string& file, const std::string& content) {
    host.found.push_back(file);
    host.files[Dir + "lang\\" + file] = content;
  }
  FakeHost host;
  FakeView view;
  TConsoleCore core;
};

TEST(Startup, FirstStartWritesOnlyTheChosenProfileThenTheLanguage) {
  CoreRig r;
  r.AddLanguage("eng.txt", LangFile("English", 59));
  r.core.Startup({});
  EXPECT_EQ(r.host.ini.writes, (std::vector<std::string>{"settings/lpro=", "settings/lang=eng.txt"}));
  EXPECT_EQ(r.host.patterns, std::vector<std::string>{Dir + "lang\\*.txt"});
  EXPECT_EQ(r.view.selected, -1);
  EXPECT_EQ(r.view.language, 0);
  EXPECT_EQ(r.view.interval, 4000);
  EXPECT_EQ(r.view.log, (std::vector<std::string>{"dock", "timer"}));
  EXPECT_EQ(r.view.texts["Form1.GroupBox1"], "English3");
  EXPECT_EQ(r.view.texts["Form1.Edit2.hint"], "English16");
  EXPECT_EQ(r.view.texts["splash.Label4"], "English58");
  EXPECT_EQ(r.view.texts.size(), LangTargets().size());
}

TEST(Startup, RunsOnceEvenWhenTheSplashIsActivatedAgain) {
  CoreRig r;
  r.AddLanguage("eng.txt", LangFile("English", 59));
  r.core.Startup({});
  r.core.Startup({});
  EXPECT_EQ(r.core.LangFiles.size(), 1u);
  EXPECT_EQ(r.view.languages.size(), 1u);
}

TEST(Startup, TheLastProfileIsFoundWithoutRegardToCase) {
  CoreRig r;
  // The profiles between them were deleted by hand: each box position keeps its own keys.
  auto& p = r.host.ini.values["profiles"];
  p = {{"count", "8"},        {"profilename3", "Office"}, {"profilemac3", "m3"},
       {"profilesub3", "h3"}, {"profilename7", "Cellar"}, {"profilemac7", "m7"},
       {"profilesub7", "h7"}};
  r.host.ini.values["settings"]["lpro"] = "CELLAR";
  r.core.Startup({});
  EXPECT_EQ(r.view.profiles, (std::vector<std::string>{"Office", "Cellar"}));
  EXPECT_EQ(r.view.selected, 1);
  EXPECT_EQ(r.view.mac, "m7");
  EXPECT_EQ(r.view.host, "h7");
  EXPECT_EQ(r.host.ini.values["settings"]["lpro"], "Cellar");
  r.core.EditorChosen("Office", 0);
  EXPECT_EQ(r.view.editor, (std::vector<std::string>{"Office", "m3", "h3"}));

  r.core.ProfileChosen(-1);
  EXPECT_EQ(r.view.mac, "");
  EXPECT_EQ(r.host.ini.values["settings"]["lpro"], "");
}

TEST(Startup, AMissingOrShortLanguageFileStillReachesTheConsole) {
  {
    CoreRig r;  // the current language file is missing: built-in texts, nothing stored
    r.host.ini.values["settings"]["lang"] = "gone.txt";
    r.core.Startup({"-nowait"});
    EXPECT_EQ(r.view.log.back(), "timer");
    EXPECT_EQ(r.view.interval, 1);
    EXPECT_EQ(r.core.LangLines[49], BuiltinLangLines()[49]);
    EXPECT_EQ(r.host.ini.values["settings"]["lang"], "gone.txt");
  }
  {
    CoreRig r;  // an empty file is listed under its name; a short one fills what it has
    r.AddLanguage("empty.txt", "");
    r.AddLanguage("eng.txt", LangFile("English", 10));
    r.core.Startup({});
    EXPECT_EQ(r.view.languages, (std::vector<std::string>{"empty.txt", "English"}));
    EXPECT_EQ(r.view.language, 1);
    EXPECT_EQ(r.view.texts["Form1.Label3"], "English4");
    EXPECT_EQ(r.view.texts["Form1.SpeedButton1"], BuiltinLangLines()[11]);
    EXPECT_EQ(r.view.log.back(), "timer");
  }
}

TEST(Startup, AProfilesFileThatCannotBeWrittenStillReachesTheConsole) {
  CoreRig r;
  r.AddLanguage("eng.txt", LangFile("English", 59));
  r.host.ini.readOnly = true;
  r.core.Startup({"-nowait"});
  EXPECT_EQ(r.view.texts["Form1.GroupBox1"], "English3");
  EXPECT_EQ(r.view.interval, 1);
  EXPECT_EQ(r.view.log.back(), "timer");
}

TEST(LanguageChoice, EntriesWithTheSameNameEachApplyTheirOwnFile) {
  CoreRig r;
  r.AddLanguage("a.txt", "Same\r\nra\r\nha\r\nA3\r\n");
  r.AddLanguage("b.txt", "same\r\nrb\r\nhb\r\nB3\r\n");
  r.core.Startup({});
  EXPECT_EQ(r.view.languages, (std::vector<std::string>{"Same", "same"}));
  r.core.LanguageChosen(1);
  EXPECT_EQ(r.view.texts["Form1.GroupBox1"], "B3");
  EXPECT_EQ(r.host.ini.values["settings"]["lang"], "b.txt");
  r.core.LanguageChosen(0);
  EXPECT_EQ(r.view.texts["Form1.GroupBox1"], "A3");
  r.core.LanguageChosen(-1);
  r.core.LanguageChosen(2);
  EXPECT_EQ(r.host.ini.values["settings"]["lang"], "a.txt");
}

TEST(CommandLine, StartWakesWithoutWaitingAndClosesTheSplash) {
  CoreRig r;
  r.host.ini.values["settings"] = {{"waketimes", "3"}, {"wakewait", "20"}, {"wakeupport", "40950"}};
  r.core.Startup({"-start", "001122334455", "127.0.0.1"});
  ASSERT_EQ(r.host.udp.sent.size(), 3u);
  EXPECT_EQ(r.host.udp.sent[0].port, 40950);
  EXPECT_TRUE(r.host.pinger.hosts.empty());
  EXPECT_EQ(r.view.log,
            (std::vector<std::string>{"dock", "sleep 20", "sleep 20", "sleep 20", "end", "status", "close", "timer"}));
  EXPECT_EQ(r.host.ini.writes, std::vector<std::string>{"settings/lpro="}) << "no language file: lang is not stored";
}

TEST(CommandLine, StartAtWritesTimerDatWithEmptyLinesForMissingArgumentsAndStartsTimer) {
  CoreRig r;
  r.host.files[Dir + "timer.dat"] = "an old and much longer file\r\n\r\n\r\n\r\n\r\n";
  r.core.Startup({"-startat", "001122334455", "pc1"});
  EXPECT_EQ(r.host.files[Dir + "timer.dat"], "001122334455\r\npc1\r\n\r\n\r\n");
  EXPECT_EQ(r.host.opened, std::vector<std::string>{Dir + "timer.exe"});
  EXPECT_EQ(r.view.log.back(), "timer") << "the console still starts";
}

TEST(CommandLine, SwitchesAreCaseSensitive) {
  CoreRig r;
  r.core.Startup({"-NOWAIT"});
  EXPECT_EQ(r.view.interval, 4000);
  CoreRig s;
  s.core.Startup({"-START", "001122334455", "127.0.0.1"});
  EXPECT_TRUE(s.host.udp.sent.empty());
}

TEST(Exit, TheExitButtonAsksLine49AndClosesOnlyOnYes) {
  CoreRig r;
  r.view.confirmAnswer = false;
  r.core.ExitClicked();
  EXPECT_EQ(r.view.questions, std::vector<std::string>{BuiltinLangLines()[49]});
  EXPECT_TRUE(r.view.log.empty());
  r.view.confirmAnswer = true;
  r.core.ExitClicked();
  EXPECT_EQ(r.view.log, std::vector<std::string>{"close"});
}

TEST(ResolveHostName, GivesTheAddressOrKeepsTheInputWithLine39) {
  CoreRig r;
  r.host.addresses = {{"localhost", "127.0.0.1"}, {"127.0.0.1", "127.0.0.1"}};
  r.view.host = "localhost";
  r.core.ResolveClicked();
  EXPECT_EQ(r.view.hostHistory, (std::vector<std::string>{BuiltinLangLines()[38], "127.0.0.1"}));
  EXPECT_TRUE(r.view.errors.empty());
  EXPECT_EQ(r.host.cleanups, 1);

  r.view.host = "no.such.host";
  r.core.ResolveClicked();
  EXPECT_EQ(r.view.host, "no.such.host");
  EXPECT_EQ(r.view.errors, std::vector<std::string>{BuiltinLangLines()[39]});
}

TEST(ResolveHostName, AHostTextOver255CharactersIsNotLookedUp) {
  CoreRig r;
  std::string longName(256, 'a');
  r.host.addresses = {{longName, "10.1.1.1"}, {longName.substr(0, 255), "10.2.2.2"}};
  r.view.host = longName;
  r.core.ResolveClicked();
  EXPECT_EQ(r.view.host, longName);
  EXPECT_EQ(r.view.errors.size(), 1u);
  EXPECT_TRUE(r.host.lookedUp.empty());
  r.view.host = longName.substr(0, 255);
  r.core.ResolveClicked();
  EXPECT_EQ(r.view.host, "10.2.2.2");
}

TEST(ResolveHostName, WithoutTheSocketLibraryTheFieldEndsEmptyWithoutAMessage) {
  CoreRig r;
  r.host.socketsWork = false;
  r.view.host = "localhost";
  r.core.ResolveClicked();
  EXPECT_EQ(r.view.host, "");
  EXPECT_TRUE(r.view.errors.empty());
  EXPECT_TRUE(r.host.lookedUp.empty());
}

TEST(ProfileEditor, SaveConfirmsAndRefillsBothBoxesWithoutSelection) {
  CoreRig r;
  r.core.Startup({});
  r.view.SelectProfile(0);
  r.view.SetMacHost("x", "y");
  r.core.EditorSave("pc1", "001122334455", "127.0.0.1");
  EXPECT_EQ(r.view.infos, std::vector<std::string>{BuiltinLangLines()[54] + "pc1" + BuiltinLangLines()[55]});
  EXPECT_EQ(r.view.profiles, std::vector<std::string>{"pc1"});
  EXPECT_EQ(r.view.selected, -1);
  EXPECT_EQ(r.view.mac, "");
  r.core.EditorChosen("pc1", 0);
  EXPECT_EQ(r.view.editor, (std::vector<std::string>{"pc1", "001122334455", "127.0.0.1"}));
  r.core.EditorChosen("typed", -1);
  EXPECT_EQ(r.view.editor, (std::vector<std::string>{"typed", "", ""}));
}

TEST(TimedWake, TimerDatHoldsFourCrLfLinesAndTimerExeIsStarted) {
  EXPECT_EQ(TimerDatText("", "", "09.12.2026", "07:30:00"), "\r\n\r\n09.12.2026\r\n07:30:00\r\n");
  CoreRig r;
  r.core.ArmTimer("AABBCCDDEEFF", "pc1", "12/9/2026", "7:30:00 AM");
  EXPECT_EQ(r.host.files[Dir + "timer.dat"], "AABBCCDDEEFF\r\npc1\r\n12/9/2026\r\n7:30:00 AM\r\n");
  EXPECT_EQ(r.host.opened, std::vector<std::string>{Dir + "timer.exe"});
}

TEST(TimedWake, TimerIsNotStartedWhenTimerDatCannotBeWritten) {
  CoreRig r;
  r.host.writeFails = true;
  r.core.ArmTimer("AABBCCDDEEFF", "pc1", "d", "t");
  r.core.Startup({"-startat", "AABBCCDDEEFF", "pc1", "d", "t"});
  EXPECT_TRUE(r.host.opened.empty());
  // Each attempt says why no timer was set; the start-up still goes on to the console.
  EXPECT_EQ(r.view.errors, std::vector<std::string>(2, "cannot write " + Dir + "timer.dat"));
  EXPECT_EQ(r.view.log.back(), "timer");
}

TEST(OutsidePrograms, ShutdownToolComesFromItsUninstallKey) {
  CoreRig r;
  r.core.ShutdownClicked();
  const auto& b = BuiltinLangLines();
  EXPECT_EQ(r.view.infos, std::vector<std::string>{b[50] + "\r" + b[51] + "\r" + b[52]});
  EXPECT_TRUE(r.host.opened.empty());

  r.host.registry[ShutdownToolKey] = {};
  r.view.infos.clear();
  r.core.ShutdownClicked();
  EXPECT_EQ(r.host.opened, std::vector<std::string>{"\\shutdown.exe"}) << "key without userdir";
  r.host.registry[ShutdownToolKey]["userdir"] = "C:\\Tools\\PH";
  r.core.ShutdownClicked();
  EXPECT_EQ(r.host.opened.back(), "C:\\Tools\\PH\\shutdown.exe");
  EXPECT_TRUE(r.view.infos.empty());
}

TEST(OutsidePrograms, UpdateClientIsStartedFromProgramFilesOnlyWhenPresent) {
  CoreRig r;
  r.host.registry[CurrentVersionKey]["ProgramFilesDir"] = "C:\\Program Files (x86)";
  r.core.UpdateClientClicked();
  EXPECT_EQ(r.view.infos, std::vector<std::string>{BuiltinLangLines()[53]});
  r.host.files["C:\\Program Files (x86)\\Quillmoor\\Skyvane\\skyvane.exe"] = "MZ";
  r.core.UpdateClientClicked();
  EXPECT_EQ(r.host.opened, std::vector<std::string>{"C:\\Program Files (x86)\\Quillmoor\\Skyvane\\skyvane.exe"});
}

TEST(OutsidePrograms, DocumentsAreNamedByTheCurrentLanguage) {
  CoreRig r;
  r.AddLanguage("eng.txt", "English\r\nreadme.txt\r\nhelp.txt\r\n");
  r.core.Startup({});
  r.core.OpenReadme();
  r.core.OpenHelp();
  r.core.OpenHistory();
  EXPECT_EQ(r.host.opened,
            (std::vector<std::string>{Dir + "doc\\readme.txt", Dir + "doc\\help.txt", Dir + "doc\\history.txt"}));
}

}  // namespace
