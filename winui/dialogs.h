// The programs' message boxes: information (OK), confirmation (Yes/No) and error (OK).
// They are modal to the calling thread's active window. The programs break their lines with
// a lone CR; the platform's box breaks there as at CR LF, so texts are passed unchanged
// (and a test driver reads back exactly the program's text).
#pragma once
#include <string>

// Caption used when a box is shown without one: the application title. The application
// object sets it with its title; until then it is the executable's name without extension.
void SetDialogTitle(const std::string& title);
std::string DialogTitle();

void ShowInformation(const std::string& text, const std::string& caption = std::string());
// True when the answer was Yes.
bool AskConfirmation(const std::string& text, const std::string& caption = std::string());
void ShowError(const std::string& text, const std::string& caption = std::string());
