// The test-automation protocol of the layer. Windowless controls cannot be found with
// EnumChildWindows, so every window of ours answers two registered messages about the windowless
// children it holds, for test drivers and other automation (same process or not):
//  "MbGraphicText":  WParam = index of a windowless child; returns a global atom holding
//                    "<flags>:<caption>" (flags: 'V' visible or '-', 'E' enabled or '-'),
//                    which the caller deletes, or 0 past the last child.
//  "MbGraphicClick": LParam = a global atom holding a caption; the first visible, enabled
//                    windowless child with that caption is clicked; returns 1, else 0.
#pragma once
#include <windows.h>

struct TMessage;
class TWinControl;

constexpr const char* kGraphicTextMessage = "MbGraphicText";
constexpr const char* kGraphicClickMessage = "MbGraphicClick";

// Answers one of the two messages for window; false for any other message.
bool AnswerAutomation(TWinControl& window, TMessage& message);
