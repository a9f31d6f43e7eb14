// The player: takes no command line; everything it needs is a constant of
// the show.
#include <string>

#include "app/main_loop.h"
#include "platform/data_dir.h"
#include "platform/window.h"

int main() {
    // Started from a launcher or another directory: look for the data
    // beside the program and where it is installed.  With data/ in the
    // working directory nothing changes; with none found anywhere the show
    // starts as it is and reports the missing pictures itself.
    std::string ignored;
    data_dir_enter(std::string(), &ignored);
    int code = run_show();
    win_end_process();
    return code;
}
