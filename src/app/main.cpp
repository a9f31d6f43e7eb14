// The player: takes no command line; everything it needs is a constant of
// the show.
#include "app/main_loop.h"
#include "platform/window.h"

int main() {
    int code = run_show();
    win_end_process();
    return code;
}
