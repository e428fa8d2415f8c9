// Message boxes as the page shows them. The page asks its yes / no questions itself, before the
// start-up runs, and hands the answers over; a message is shown over the page.

#include "platform/dialogs.h"

#include "platform/web/web.h"

extern "C" void brusk_page_show_message(const char* text, const char* caption);  // page_library.js

namespace platform {

namespace web {

namespace {
int answers[2] = {-1, -1};
int next_answer = 0;
}  // namespace

void set_answers(int first, int second) {
    answers[0] = first;
    answers[1] = second;
    next_answer = 0;
}

}  // namespace web

Answer ask_yes_no(const char*, const char*, Icon) {
    if (web::next_answer >= 2) return Answer::not_shown;
    const int a = web::answers[web::next_answer++];
    return a == 1 ? Answer::yes : (a == 0 ? Answer::no : Answer::not_shown);
}

void show_message(const char* text, const char* caption, Icon) { brusk_page_show_message(text, caption); }

}  // namespace platform
