#include "platform/dialogs.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <string>

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

// A box that cannot be shown is said on stderr, in one line, so a terminal user learns of it.
void say_not_shown(const char* text, const char* caption) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "brusk: could not show \"%s\" [%s]: %s\n", line.c_str(), caption ? caption : "",
                 SDL_GetError());
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
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        say_not_shown(text, caption);
        return Answer::not_shown;
    }
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
    if (SDL_ShowMessageBox(&box, &pressed) != 0) say_not_shown(text, caption);
}

}  // namespace platform
