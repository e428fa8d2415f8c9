#include "platform/dialogs.h"

#include <windows.h>

namespace platform {
namespace {

UINT icon_flag(Icon icon) {
    switch (icon) {
    case Icon::stop: return MB_ICONSTOP;
    case Icon::exclamation: return MB_ICONEXCLAMATION;
    case Icon::question: break;
    }
    return MB_ICONQUESTION;
}

}  // namespace

Answer ask_yes_no(const char* text, const char* caption, Icon icon) {
    switch (MessageBoxA(nullptr, text, caption, MB_YESNO | icon_flag(icon))) {
    case IDYES: return Answer::yes;
    case IDNO: return Answer::no;
    default: return Answer::not_shown;  // 0: the box could not be shown
    }
}

void show_message(const char* text, const char* caption, Icon icon) {
    MessageBoxA(nullptr, text, caption, MB_OK | icon_flag(icon));
}

}  // namespace platform
