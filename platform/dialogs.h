#pragma once
// Plain message boxes without an owner window: the start-up question and the failure messages.

namespace platform {

enum class Icon { exclamation, stop, question };
enum class Answer { yes, no, not_shown };

// Yes / No box. not_shown when no box could be put on the screen at all.
Answer ask_yes_no(const char* text, const char* caption, Icon icon);

// A box with a single OK button; returns once it is dismissed (or could not be shown).
void show_message(const char* text, const char* caption, Icon icon);

}  // namespace platform
