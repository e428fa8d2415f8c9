// The demo takes no command line and always ends with status 0.
#include "shell/driver.h"

int main() { return shell::run_demo(); }
