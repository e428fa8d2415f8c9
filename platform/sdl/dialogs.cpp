#include "platform/dialogs.h"

#include <SDL2/SDL.h>

namespace platform {
namespace {

Uint32 icon_flag(Icon icon) {
    switch (icon) {
    case Icon::stop: return SDL_MESSAGEBOX_ERROR;
    case Icon::exclamation: return SDL_MESSAGEBOX_WARNING;
    case Icon::question: break;  // SDL has no question mark; the information icon comes closest
    }
    return SDL_MESSAGEBOX_INFORMATION;
}

constexpr int NO_BUTTON = 0;
constexpr int YES_BUTTON = 1;
constexpr int OK_BUTTON = 2;

}  // namespace

Answer ask_yes_no(const char* text, const char* caption, Icon icon) {
    // Return answers Yes and Escape answers No, so the box can be answered from the keyboard.
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, YES_BUTTON, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, NO_BUTTON, "No"},
    };
    SDL_MessageBoxData box{};
    box.flags = icon_flag(icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.title = caption;
    box.message = text;
    box.numbuttons = 2;
    box.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) return Answer::not_shown;
    if (pressed == YES_BUTTON) return Answer::yes;
    if (pressed == NO_BUTTON) return Answer::no;
    return Answer::not_shown;  // closed without a button: no answer was given
}

void show_message(const char* text, const char* caption, Icon icon) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, OK_BUTTON, "OK"},
    };
    SDL_MessageBoxData box{};
    box.flags = icon_flag(icon);
    box.title = caption;
    box.message = text;
    box.numbuttons = 1;
    box.buttons = buttons;
    int pressed = -1;
    SDL_ShowMessageBox(&box, &pressed);
}

}  // namespace platform
