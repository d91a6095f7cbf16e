// The programs' message boxes: information (OK), confirmation (Yes/No) and error (OK).
// They are modal to the calling thread's windows. A lone CR in the text is a line break,
// as the programs write their multi-line messages that way.
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

// The text as it is handed to the platform: every lone CR and lone LF becomes CR LF.
std::string DialogText(const std::string& text);
