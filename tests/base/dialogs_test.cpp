// The boxes are shown on this thread; a helper thread finds each box, reads it and answers.
#include <gtest/gtest.h>
#include <windows.h>
#include <future>
#include "base/sysutils.h"
#include "tools/driver/driver.h"
#include "winui/dialogs.h"

using namespace mbdriver;

namespace {

struct Seen {
  MessageBoxView view;
  int height = 0;
};

// Runs show() here while another thread waits for the box, records it and presses answerId.
Seen ShowAndAnswer(const std::function<void()>& show, int answerId) {
  std::future<Seen> seen = std::async(std::launch::async, [answerId] {
    Seen s;
    HWND box = WaitForMessageBox(GetCurrentProcessId(), 10000);
    if (!box) return s;
    s.view = ReadMessageBox(box);
    RECT r;
    GetWindowRect(box, &r);
    s.height = r.bottom - r.top;
    AnswerMessageBox(box, answerId);
    return s;
  });
  show();
  return seen.get();
}

}  // namespace

TEST(Dialogs, BoxesShowTheirTextCaptionAndButtons) {
  Seen info = ShowAndAnswer([] { ShowInformation("Profil gespeichert", "Morrowbell"); }, IDOK);
  EXPECT_EQ(info.view.title, "Morrowbell");
  EXPECT_EQ(info.view.text, "Profil gespeichert");
  EXPECT_EQ(info.view.buttons.size(), 1u);
  Seen error = ShowAndAnswer([] { ShowError("Fehler!", "Skyvane"); }, IDOK);
  EXPECT_EQ(error.view.title, "Skyvane");
  EXPECT_EQ(error.view.text, "Fehler!");
  EXPECT_EQ(error.view.buttons.size(), 1u);
}

TEST(Dialogs, ConfirmationIsTrueOnlyForYes) {
  bool answer = false;
  Seen yes = ShowAndAnswer([&] { answer = AskConfirmation("Beenden?", "T"); }, IDYES);
  EXPECT_TRUE(answer);
  EXPECT_EQ(yes.view.buttons.size(), 2u);
  answer = true;
  ShowAndAnswer([&] { answer = AskConfirmation("Beenden?", "T"); }, IDNO);
  EXPECT_FALSE(answer);
}

TEST(Dialogs, WithoutACaptionTheApplicationTitleIsUsed) {
  SetDialogTitle("");
  const std::string exeName = ExtractFileName(ProgramFileName());
  EXPECT_EQ(DialogTitle(), exeName.substr(0, exeName.size() - 4));
  SetDialogTitle("Morrowbell");
  Seen s = ShowAndAnswer([] { ShowInformation("x"); }, IDOK);
  EXPECT_EQ(s.view.title, "Morrowbell");
  SetDialogTitle("");
}

int HeightOf(const std::string& text) {
  return ShowAndAnswer([&] { ShowInformation(text, "T"); }, IDOK).height;
}

TEST(Dialogs, ALoneCarriageReturnBreaksTheLineAndTheTextStaysAsGiven) {
  const int oneLine = HeightOf("one two three four five six");
  const Seen loneCr = ShowAndAnswer([] { ShowInformation("one\rtwo\rthree\rfour\rfive\rsix", "T"); }, IDOK);
  const int crLf = HeightOf("one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix");
  EXPECT_GT(loneCr.height, oneLine);
  EXPECT_EQ(loneCr.height, crLf);
  EXPECT_EQ(loneCr.view.text, "one\rtwo\rthree\rfour\rfive\rsix");
}
